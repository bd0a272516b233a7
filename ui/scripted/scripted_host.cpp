#include "ui/scripted/scripted_host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace ui::scripted {

namespace {
// Pump calls in a row that found nothing to run and nothing to close: the
// caller waits for something that can never happen.
constexpr int kFruitlessStallLimit = 10000;
}  // namespace

// --- Script -----------------------------------------------------------------

Script& Script::Add(Action action) {
    steps_.push_back({pendingWait_, std::move(action)});
    pendingWait_ = 0;
    return *this;
}

Script& Script::Click(int id) {
    return Add([id](ScriptedHost& h, Dialog& d) { h.Click(d, id); });
}
Script& Script::Type(int id, const std::string& text) {
    return Add([id, text](ScriptedHost& h, Dialog& d) { h.Type(d, id, text); });
}
Script& Script::SetCheck(int id, bool checked) {
    return Add([id, checked](ScriptedHost& h, Dialog& d) { h.SetCheck(d, id, checked); });
}
Script& Script::Escape() {
    return Add([](ScriptedHost& h, Dialog& d) { h.Escape(d); });
}
Script& Script::Enter() {
    return Add([](ScriptedHost& h, Dialog& d) { h.Enter(d); });
}
Script& Script::SysCommand(int command) {
    return Add([command](ScriptedHost& h, Dialog& d) { h.SysCommand(d, command); });
}
Script& Script::Close() {
    return Add([](ScriptedHost& h, Dialog& d) { h.Close(d); });
}
Script& Script::Wait(int ms) {
    if (ms > 0) pendingWait_ += ms;
    return *this;
}
Script& Script::Do(std::function<void(Dialog&)> action) {
    return Add([action = std::move(action)](ScriptedHost&, Dialog& d) {
        if (action) action(d);
    });
}

// --- the window -------------------------------------------------------------

class ScriptedHost::ScriptedWindow : public Window {
public:
    struct Control {
        ControlKind kind = ControlKind::Static;
        std::uint32_t style = kNone;
        std::string text;
        bool checked = false;
        bool enabled = true;
        int low = 0, high = 100, pos = 0;
        int bitmap = 0;
    };

    ScriptedWindow(ScriptedHost& host, Dialog& dialog) : host_(host), dialog_(dialog) {
        title_ = dialog.Template().title;
        for (const auto& c : dialog.Template().controls) {
            if (controls_.count(c.id)) continue;
            Control s;
            s.kind = c.kind;
            s.style = c.style;
            s.text = c.text;
            controls_[c.id] = s;
        }
    }
    ~ScriptedWindow() override { host_.WindowGone(this); }

    Control* Find(int id) {
        auto it = controls_.find(id);
        return it == controls_.end() ? nullptr : &it->second;
    }
    const Control* Find(int id) const {
        auto it = controls_.find(id);
        return it == controls_.end() ? nullptr : &it->second;
    }

    void SetTitle(const std::string& title) override { title_ = title; }
    std::string Title() const override { return title_; }
    void SetText(int id, const std::string& text) override {
        if (auto* c = Find(id)) c->text = text;
    }
    std::string Text(int id) const override {
        const auto* c = Find(id);
        return c ? c->text : std::string();
    }
    void SetCheck(int id, bool checked) override {
        if (auto* c = Find(id)) c->checked = checked;
    }
    bool Checked(int id) const override {
        const auto* c = Find(id);
        return c && c->checked;
    }
    void Enable(int id, bool enabled) override {
        if (auto* c = Find(id)) c->enabled = enabled;
    }
    bool Enabled(int id) const override {
        const auto* c = Find(id);
        return c && c->enabled;
    }
    void SetFocus(int id) override {
        if (Find(id)) focus_ = id;
    }
    int Focus() const override { return focus_; }
    void DrawBitmap(int id, int bitmapId) override {
        auto* c = Find(id);
        if (!c) return;
        c->bitmap = bitmapId;
        host_.BitmapDrawn(dialog_, id, bitmapId);
    }
    void SetProgressRange(int id, int low, int high) override {
        if (auto* c = Find(id)) {
            c->low = low;
            c->high = high;
            c->pos = std::clamp(c->pos, std::min(low, high), std::max(low, high));
        }
    }
    void SetProgressPos(int id, int pos) override {
        if (auto* c = Find(id)) c->pos = std::clamp(pos, std::min(c->low, c->high), std::max(c->low, c->high));
    }
    int ProgressPos(int id) const override {
        const auto* c = Find(id);
        return c ? c->pos : 0;
    }
    void Show(bool visible) override {
        bool wasVisible = visible_;
        visible_ = visible;
        if (visible && !wasVisible) host_.Shown(dialog_);
    }
    void Redraw() override { host_.Redrawn(dialog_); }

    bool Visible() const { return visible_; }

private:
    ScriptedHost& host_;
    Dialog& dialog_;
    std::string title_;
    std::map<int, Control> controls_;
    int focus_ = 0;
    bool visible_ = false;
};

// --- the host ---------------------------------------------------------------

ScriptedHost::ScriptedHost() : ownClock_(std::make_unique<platform::VirtualClock>()), clock_(ownClock_.get()) {}

ScriptedHost::ScriptedHost(platform::VirtualClock& clock) : clock_(&clock) {}

ScriptedHost::~ScriptedHost() = default;

Script& ScriptedHost::OnShow(int dialogId) {
    auto& queue = scripts_[dialogId];
    queue.push_back(std::make_unique<Script>());
    return *queue.back();
}

size_t ScriptedHost::PendingScripts(int dialogId) const {
    auto it = scripts_.find(dialogId);
    return it == scripts_.end() ? 0 : it->second.size();
}

void ScriptedHost::ClearRecords() {
    boxes_.clear();
    redraws_.clear();
    beeps_.clear();
    bitmaps_.clear();
    shown_.clear();
    stalls_.clear();
    waitBegins_ = 0;
}

ScriptedHost::Open* ScriptedHost::FindOpenEntry(const Dialog& dialog) {
    for (auto& o : open_)
        if (o.dialog == &dialog) return &o;
    return nullptr;
}

const ScriptedHost::Open* ScriptedHost::FindOpenEntry(const Dialog& dialog) const {
    for (const auto& o : open_)
        if (o.dialog == &dialog) return &o;
    return nullptr;
}

ScriptedHost::ScriptedWindow* ScriptedHost::WindowOf(const Dialog& dialog) const {
    const Open* o = FindOpenEntry(dialog);
    return o ? o->window : nullptr;
}

bool ScriptedHost::IsVisible(const Dialog& dialog) const {
    auto* w = WindowOf(dialog);
    return w && w->Visible();
}

int ScriptedHost::ProgressLow(const Dialog& dialog, int id) const {
    auto* w = WindowOf(dialog);
    const auto* c = w ? w->Find(id) : nullptr;
    return c ? c->low : 0;
}

int ScriptedHost::ProgressHigh(const Dialog& dialog, int id) const {
    auto* w = WindowOf(dialog);
    const auto* c = w ? w->Find(id) : nullptr;
    return c ? c->high : 0;
}

int ScriptedHost::LastBitmap(const Dialog& dialog, int id) const {
    auto* w = WindowOf(dialog);
    const auto* c = w ? w->Find(id) : nullptr;
    return c ? c->bitmap : 0;
}

Dialog* ScriptedHost::FindOpen(int dialogId) const {
    for (auto it = open_.rbegin(); it != open_.rend(); ++it)
        if (it->dialog->Id() == dialogId) return it->dialog;
    return nullptr;
}

bool ScriptedHost::HasTimer(const Dialog& dialog, int id) const { return timers_.count({&dialog, id}) != 0; }

std::unique_ptr<Window> ScriptedHost::CreateWindowFor(Dialog& dialog, Dialog*) {
    auto window = std::make_unique<ScriptedWindow>(*this, dialog);
    Open entry;
    entry.dialog = &dialog;
    entry.window = window.get();
    entry.serial = ++serial_;
    open_.push_back(std::move(entry));
    return window;
}

void ScriptedHost::WindowGone(ScriptedWindow* window) {
    for (auto it = open_.begin(); it != open_.end(); ++it) {
        if (it->window == window) {
            Dialog& d = *it->dialog;
            WindowDestroyed(d);
            return;
        }
    }
}

void ScriptedHost::WindowDestroyed(Dialog& dialog) {
    for (auto it = open_.begin(); it != open_.end(); ++it) {
        if (it->dialog == &dialog) {
            if (it->script) spentScripts_.push_back(std::move(it->script));
            open_.erase(it);
            break;
        }
    }
    posted_.erase(std::remove_if(posted_.begin(), posted_.end(), [&](const Posted& p) { return p.dialog == &dialog; }),
                  posted_.end());
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->first.first == &dialog)
            it = timers_.erase(it);
        else
            ++it;
    }
    stallCounts_.erase(&dialog);
}

void ScriptedHost::Shown(Dialog& dialog) {
    Open* o = FindOpenEntry(dialog);
    if (!o) return;
    if (!o->shownOnce) {
        o->shownOnce = true;
        shown_.push_back({dialog.Id(), clock_->NowMs()});
        auto it = scripts_.find(dialog.Id());
        if (it != scripts_.end() && !it->second.empty()) {
            o->script = std::move(it->second.front());
            it->second.pop_front();
        } else if (defaultScript_) {
            o->script = std::make_unique<Script>();
            defaultScript_(dialog, *o->script);
        }
        o->scriptBase = clock_->NowMs();
    }
    // A window is painted when it appears.
    dialog.OnPaint();
}

void ScriptedHost::Redrawn(Dialog& dialog) {
    redraws_.push_back({dialog.Id(), clock_->NowMs()});
    dialog.OnPaint();
}

void ScriptedHost::BitmapDrawn(Dialog& dialog, int controlId, int bitmapId) {
    bitmaps_.push_back({dialog.Id(), controlId, bitmapId, clock_->NowMs()});
}

bool ScriptedHost::AcceptsInput(const Open& entry) const {
    // A running modal dialog disables everything created before it.
    if (modalStack_.empty()) return true;
    const Open* top = FindOpenEntry(*modalStack_.back());
    return !top || entry.serial >= top->serial;
}

std::int64_t ScriptedHost::ActionDue(const Open& entry) const {
    if (!entry.script || entry.script->Empty() || !entry.shownOnce || entry.acting || !entry.window->Visible() ||
        !AcceptsInput(entry))
        return -1;
    return entry.scriptBase + entry.script->steps_.front().waitMs;
}

bool ScriptedHost::RunPass(const std::function<bool()>& done) {
    bool ran = false;

    // Posted messages, those queued before this pass, in order.
    std::uint64_t last = postSeq_;
    while (!posted_.empty() && posted_.front().seq <= last) {
        Posted p = posted_.front();
        posted_.pop_front();
        if (!FindOpenEntry(*p.dialog)) continue;
        ran = true;
        if (p.close)
            p.dialog->OnClose();
        else
            p.dialog->DispatchCommand(p.id);
        if (done()) return true;
    }

    // Due timers, each at most once.
    std::int64_t now = clock_->NowMs();
    std::vector<std::pair<std::pair<const Dialog*, int>, std::pair<std::int64_t, std::uint64_t>>> due;
    for (const auto& [key, t] : timers_)
        if (t.due <= now) due.push_back({key, {t.due, t.order}});
    std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    for (const auto& d : due) {
        auto it = timers_.find(d.first);
        if (it == timers_.end() || it->second.due > clock_->NowMs() || it->second.order != d.second.second) continue;
        Dialog* dialog = it->second.dialog;
        int id = d.first.second;
        if (it->second.periodic)
            it->second.due = clock_->NowMs() + it->second.intervalMs;
        else
            timers_.erase(it);
        ran = true;
        dialog->OnTimer(id);
        if (done()) return true;
    }

    // One scripted action: the earliest due, the innermost window first.
    now = clock_->NowMs();
    Open* pick = nullptr;
    std::int64_t pickDue = 0;
    for (auto& o : open_) {
        std::int64_t t = ActionDue(o);
        if (t < 0 || t > now) continue;
        if (!pick || t < pickDue || (t == pickDue && o.serial > pick->serial)) {
            pick = &o;
            pickDue = t;
        }
    }
    if (pick) {
        Dialog* dialog = pick->dialog;
        Script* script = pick->script.get();
        Script::Action action = std::move(script->steps_.front().action);
        script->steps_.pop_front();
        pick->acting = true;
        action(*this, *dialog);
        if (Open* o = FindOpenEntry(*dialog)) {
            o->acting = false;
            o->scriptBase = clock_->NowMs();
        }
        ran = true;
    }
    return ran;
}

std::int64_t ScriptedHost::NextEventTime() const {
    std::int64_t next = -1;
    auto consider = [&next](std::int64_t t) {
        if (t >= 0 && (next < 0 || t < next)) next = t;
    };
    for (const auto& [key, t] : timers_) consider(t.due);
    for (const auto& o : open_) consider(ActionDue(o));
    if (!posted_.empty()) consider(clock_->NowMs());
    return next;
}

int ScriptedHost::Stall(const std::string& reason, bool modelessOnly) {
    Dialog* target = nullptr;
    std::uint64_t best = 0;
    for (const auto& o : open_) {
        if (!o.window->Visible() || (modelessOnly && o.dialog->IsModal())) continue;
        if (!target || o.serial > best) {
            target = o.dialog;
            best = o.serial;
        }
    }
    if (!target) {
        stalls_.push_back({0, clock_->NowMs(), reason});
        if (++fruitlessStalls_ >= kFruitlessStallLimit) {
            std::fprintf(stderr, "scripted host: waiting for ever (%s); giving up\n", reason.c_str());
            std::abort();
        }
        return 0;
    }
    int id = target->Id();
    stalls_.push_back({id, clock_->NowMs(), reason});
    // The window's close first; a dialog that ignores it is ended outright.
    if (stallCounts_[target]++ == 0)
        target->OnClose();
    else if (FindOpenEntry(*target))
        target->EndDialog(IDCANCEL);
    return id;
}

void ScriptedHost::RunModalLoop(Dialog& dialog) {
    modalStack_.push_back(&dialog);
    const std::int64_t start = clock_->NowMs();
    auto done = [&dialog] { return !dialog.IsOpen() || dialog.Ended(); };
    while (!done()) {
        if (clock_->NowMs() - start > modalLimitMs_) {
            Stall("modal loop time limit", false);
            continue;
        }
        if (RunPass(done)) {
            fruitlessStalls_ = 0;
            continue;
        }
        std::int64_t next = NextEventTime();
        if (next < 0) {
            if (Stall("modal loop: nothing left to happen", false) == 0) dialog.EndDialog(IDCANCEL);
            continue;
        }
        if (next - start > modalLimitMs_) {
            clock_->AdvanceTo(start + modalLimitMs_ + 1);
            continue;
        }
        clock_->AdvanceTo(next);
    }
    modalStack_.pop_back();
}

void ScriptedHost::PumpWaitingMessages() {
    auto never = [] { return false; };
    if (RunPass(never)) {
        fruitlessStalls_ = 0;
        return;
    }
    std::int64_t next = NextEventTime();
    if (next >= 0) {
        clock_->AdvanceTo(next);
        if (RunPass(never)) fruitlessStalls_ = 0;
        return;
    }
    Stall("message pump: nothing left to happen", true);
}

void ScriptedHost::PostCommand(Dialog& dialog, int id) {
    if (!FindOpenEntry(dialog)) return;
    posted_.push_back({++postSeq_, &dialog, false, id});
}

void ScriptedHost::PostClose(Dialog& dialog) {
    if (!FindOpenEntry(dialog)) return;
    posted_.push_back({++postSeq_, &dialog, true, 0});
}

void ScriptedHost::SetTimer(Dialog& dialog, int id, int intervalMs, bool periodic) {
    if (!FindOpenEntry(dialog)) return;
    Timer t;
    t.dialog = &dialog;
    // A periodic timer of no interval would fire for ever at one instant.
    t.intervalMs = periodic ? std::max(intervalMs, 1) : std::max(intervalMs, 0);
    t.periodic = periodic;
    t.due = clock_->NowMs() + t.intervalMs;
    t.order = ++timerOrder_;
    timers_[{&dialog, id}] = t;
}

void ScriptedHost::KillTimer(Dialog& dialog, int id) { timers_.erase({&dialog, id}); }

int ScriptedHost::MessageBox(Dialog* owner, const std::string& text, const std::string& caption, MbButtons buttons,
                             MbIcon icon) {
    MessageBoxRecord r;
    r.ownerId = owner ? owner->Id() : 0;
    r.caption = caption;
    r.text = text;
    r.buttons = buttons;
    r.icon = icon;
    r.timeMs = clock_->NowMs();
    int answer = IDOK;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    } else if (responder_) {
        answer = responder_(r);
    }
    // A box has only the answers of its buttons.
    if (buttons == MbButtons::Ok || answer != IDCANCEL) answer = IDOK;
    r.answer = answer;
    boxes_.push_back(r);
    return answer;
}

void ScriptedHost::BeginWaitCursor() {
    ++waitDepth_;
    ++waitBegins_;
}

void ScriptedHost::EndWaitCursor() {
    if (waitDepth_ > 0) --waitDepth_;
}

void ScriptedHost::Beep(int frequencyHz, int durationMs) {
    beeps_.push_back({frequencyHz, durationMs, clock_->NowMs()});
    clock_->Sleep(durationMs);
}

// --- immediate operator actions ---------------------------------------------

void ScriptedHost::Click(Dialog& dialog, int id) {
    ScriptedWindow* w = WindowOf(dialog);
    if (!w || !w->Visible()) return;
    auto* c = w->Find(id);
    if (!c || !c->enabled) return;
    switch (c->kind) {
    case ControlKind::CheckBox:
        c->checked = !c->checked;
        break;
    case ControlKind::Radio:
        c->checked = true;
        break;
    case ControlKind::Button:
        break;
    case ControlKind::Edit:
        w->SetFocus(id);
        return;
    default:
        return;  // labels, frames, pictures and bars take no clicks
    }
    w->SetFocus(id);
    dialog.DispatchCommand(id);
}

void ScriptedHost::Type(Dialog& dialog, int id, const std::string& text) {
    ScriptedWindow* w = WindowOf(dialog);
    if (!w || !w->Visible()) return;
    auto* c = w->Find(id);
    if (!c || !c->enabled || c->kind != ControlKind::Edit || (c->style & kReadOnly)) return;
    c->text = text;
    w->SetFocus(id);
}

void ScriptedHost::SetCheck(Dialog& dialog, int id, bool checked) {
    ScriptedWindow* w = WindowOf(dialog);
    if (!w) return;
    auto* c = w->Find(id);
    if (c && (c->kind == ControlKind::CheckBox || c->kind == ControlKind::Radio)) c->checked = checked;
}

void ScriptedHost::Escape(Dialog& dialog) {
    ScriptedWindow* w = WindowOf(dialog);
    if (!w || !w->Visible()) return;
    // A dialog with a disabled cancel button ignores the key.
    if (auto* c = w->Find(IDCANCEL); c && !c->enabled) return;
    dialog.DispatchCommand(IDCANCEL);
}

void ScriptedHost::Enter(Dialog& dialog) {
    ScriptedWindow* w = WindowOf(dialog);
    if (!w || !w->Visible()) return;
    if (int id = dialog.EnterCommand()) dialog.DispatchCommand(id);
}

void ScriptedHost::SysCommand(Dialog& dialog, int command) {
    if (WindowOf(dialog)) dialog.OnSysCommand(command);
}

void ScriptedHost::Close(Dialog& dialog) {
    if (WindowOf(dialog)) dialog.OnClose();
}

}  // namespace ui::scripted
