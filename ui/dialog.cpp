#include "ui/dialog.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "platform/clock.h"
#include "platform/format.h"

namespace ui {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The text without the blanks around it.
std::string Trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// Digits only (at least one), fitting `limit`.
bool ParseUnsigned(const std::string& text, std::uint64_t limit, std::uint64_t& out) {
    std::string t = Trimmed(text);
    if (t.empty() || t.size() > 20) return false;
    std::uint64_t v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return false;
        std::uint64_t d = static_cast<std::uint64_t>(c - '0');
        if (v > (limit - d) / 10) return false;
        v = v * 10 + d;
    }
    out = v;
    return true;
}

bool ParseInt(const std::string& text, int& out) {
    std::string t = Trimmed(text);
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.erase(0, 1);
    }
    std::uint64_t limit = negative ? static_cast<std::uint64_t>(std::numeric_limits<int>::max()) + 1
                                   : static_cast<std::uint64_t>(std::numeric_limits<int>::max());
    std::uint64_t v = 0;
    if (!ParseUnsigned(t, limit, v) || t.size() != Trimmed(t).size()) return false;  // no blank after the sign
    out = negative ? static_cast<int>(-static_cast<std::int64_t>(v)) : static_cast<int>(v);
    return true;
}

// A decimal number, as a person types one: strtod alone would also take
// "inf", "nan" and hexadecimal, which no standard can be, and which would be
// written into STD.DAT where its reader refuses them.
bool ParseReal(const std::string& text, double& out) {
    std::string t = Trimmed(text);
    if (t.empty() || t.find_first_not_of("0123456789+-.eE") != std::string::npos) return false;
    const char* begin = t.c_str();
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(begin, &end);
    if (end != begin + t.size() || errno == ERANGE) return false;
    out = v;
    return true;
}

size_t CodePoints(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string Replace(std::string s, const std::string& key, const std::string& value) {
    size_t pos = s.find(key);
    if (pos != std::string::npos) s.replace(pos, key.size(), value);
    return s;
}

}  // namespace

// --- DataExchange ---------------------------------------------------------

void DataExchange::Fail(int id, const std::string& message) {
    if (failed_) return;
    failed_ = true;
    dialog_.AppMessageBox(message, MbButtons::Ok, MbIcon::Exclamation);
    dialog_.GotoDlgCtrl(id);
}

void DataExchange::Text(int id, std::string& value) {
    if (failed_) return;
    if (saving_)
        value = dialog_.GetDlgItemText(id);
    else
        dialog_.SetDlgItemText(id, value);
}

void DataExchange::Text(int id, double& value) {
    if (failed_) return;
    if (!saving_) {
        dialog_.SetDlgItemText(id, platform::Format("%.15g", value));
        return;
    }
    double v = 0;
    if (ParseReal(dialog_.GetDlgItemText(id), v))
        value = v;
    else
        Fail(id, validation::kReal);
}

void DataExchange::Text(int id, std::uint32_t& value) {
    if (failed_) return;
    if (!saving_) {
        dialog_.SetDlgItemText(id, std::to_string(value));
        return;
    }
    std::uint64_t v = 0;
    if (ParseUnsigned(dialog_.GetDlgItemText(id), std::numeric_limits<std::uint32_t>::max(), v))
        value = static_cast<std::uint32_t>(v);
    else
        Fail(id, validation::kUnsigned);
}

void DataExchange::Text(int id, std::uint16_t& value) {
    if (failed_) return;
    if (!saving_) {
        dialog_.SetDlgItemText(id, std::to_string(value));
        return;
    }
    std::uint64_t v = 0;
    if (ParseUnsigned(dialog_.GetDlgItemText(id), std::numeric_limits<std::uint16_t>::max(), v))
        value = static_cast<std::uint16_t>(v);
    else
        Fail(id, validation::kUnsigned);
}

void DataExchange::Text(int id, std::uint8_t& value) {
    if (failed_) return;
    if (!saving_) {
        dialog_.SetDlgItemText(id, std::to_string(value));
        return;
    }
    std::uint64_t v = 0;
    if (ParseUnsigned(dialog_.GetDlgItemText(id), 255, v))
        value = static_cast<std::uint8_t>(v);
    else
        Fail(id, validation::kByte);
}

void DataExchange::Text(int id, int& value) {
    if (failed_) return;
    if (!saving_) {
        dialog_.SetDlgItemText(id, std::to_string(value));
        return;
    }
    int v = 0;
    if (ParseInt(dialog_.GetDlgItemText(id), v))
        value = v;
    else
        Fail(id, validation::kInteger);
}

void DataExchange::Check(int id, int& value) {
    if (failed_) return;
    if (saving_)
        value = dialog_.IsDlgButtonChecked(id) ? 1 : 0;
    else
        dialog_.CheckDlgButton(id, value != 0);
}

void DataExchange::MaxChars(int id, const std::string& value, int maxChars) {
    if (failed_ || !saving_) return;
    if (CodePoints(value) > static_cast<size_t>(maxChars < 0 ? 0 : maxChars))
        Fail(id, Replace(validation::kMaxChars, "%1", std::to_string(maxChars)));
}

void DataExchange::MinMax(int id, int value, int low, int high) {
    if (failed_ || !saving_) return;
    if (value < low || value > high)
        Fail(id, Replace(Replace(validation::kIntRange, "%1", std::to_string(low)), "%2", std::to_string(high)));
}

// --- Dialog ---------------------------------------------------------------

Dialog::Dialog(Host& host, DialogTemplate tmpl) : host_(host), template_(std::move(tmpl)) {}

Dialog::~Dialog() {
    // The host must not keep timers or posted messages of a dead object.
    if (window_) DestroyWindow();
}

bool Dialog::CreateWindowAndInit(Dialog* parent) {
    ended_ = false;
    endCode_ = 0;
    window_ = host_.CreateWindowFor(*this, parent);
    if (!window_) return false;
    window_->SetTitle(template_.title);
    bool defaultFocus = OnInitDialog();
    if (!window_) return false;  // destroyed while initialising
    if (defaultFocus && window_->Focus() == 0) {
        // As a dialog does when its initialisation leaves the focus alone:
        // the first control that takes input.
        for (const auto& c : template_.controls) {
            bool input = c.kind == ControlKind::Edit || c.kind == ControlKind::Button ||
                         c.kind == ControlKind::CheckBox || c.kind == ControlKind::Radio;
            if (input && c.id > 0 && window_->Enabled(c.id)) {
                window_->SetFocus(c.id);
                break;
            }
        }
    }
    // A modeless dialog that ended while initialising stays hidden.
    if (!(ended_ && !modal_)) window_->Show(true);
    return true;
}

int Dialog::DoModal() {
    if (window_) return -1;  // already shown
    modal_ = true;
    if (!CreateWindowAndInit(nullptr)) {
        modal_ = false;
        return -1;
    }
    if (!ended_) host_.RunModalLoop(*this);
    int code = endCode_;
    DestroyWindow();
    modal_ = false;
    return code;
}

bool Dialog::Create(Dialog* parent) {
    if (window_) return false;
    modal_ = false;
    return CreateWindowAndInit(parent);
}

void Dialog::DestroyWindow() {
    if (!window_) return;
    host_.WindowDestroyed(*this);
    // Moved out first: a host callback during the reset must see the dialog closed.
    std::unique_ptr<Window> w = std::move(window_);
    w.reset();
}

void Dialog::EndDialog(int code) {
    ended_ = true;
    endCode_ = code;
    if (!modal_ && window_) window_->Show(false);
    host_.DialogEnded(*this);
}

bool Dialog::UpdateData(bool saveAndValidate) {
    if (!window_) return false;
    DataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

void Dialog::ShowStrings() {
    UpdateData(false);
    RedrawNow();
}

bool Dialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void Dialog::OnOK() {
    if (UpdateData(true)) EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

void Dialog::OnClose() { OnCancel(); }

void Dialog::DispatchCommand(int id) {
    auto it = handlers_.find(id);
    if (it != handlers_.end() && it->second) {
        // A copy: the handler may replace itself in the map.
        auto handler = it->second;
        handler();
        return;
    }
    if (id == IDOK)
        OnOK();
    else if (id == IDCANCEL)
        OnCancel();
}

int Dialog::EnterCommand() const {
    if (!window_) return 0;
    const ControlTemplate* focused = template_.Find(window_->Focus());
    if (focused && focused->kind == ControlKind::Button && focused->id > 0 && window_->Enabled(focused->id))
        return focused->id;
    int id = IDOK;
    for (const auto& c : template_.controls)
        if (c.kind == ControlKind::Button && (c.style & kDefault) && c.id > 0) {
            id = c.id;
            break;
        }
    // Without a button of that id the command goes out all the same: IDOK
    // ends a dialog that has no OK button.
    return template_.Find(id) && !window_->Enabled(id) ? 0 : id;
}

int Dialog::MessageBox(const std::string& text, const std::string& caption, MbButtons buttons, MbIcon icon) {
    host_.NotifyPrompt(caption, text);
    return host_.MessageBox(this, text, caption, buttons, icon);
}

int Dialog::AppMessageBox(const std::string& text, MbButtons buttons, MbIcon icon) {
    host_.NotifyPrompt(host_.AppName(), text);
    return host_.MessageBox(nullptr, text, host_.AppName(), buttons, icon);
}

void Dialog::Sleep(int ms) { host_.Clock().Sleep(ms); }

void Dialog::RedrawNow() {
    if (window_) window_->Redraw();
}

void Dialog::SetWindowText(const std::string& title) {
    if (window_) window_->SetTitle(title);
}

std::string Dialog::GetWindowText() const { return window_ ? window_->Title() : std::string(); }

void Dialog::SetDlgItemText(int id, const std::string& text) {
    if (window_) window_->SetText(id, text);
}

std::string Dialog::GetDlgItemText(int id) const { return window_ ? window_->Text(id) : std::string(); }

void Dialog::CheckDlgButton(int id, bool checked) {
    if (window_) window_->SetCheck(id, checked);
}

bool Dialog::IsDlgButtonChecked(int id) const { return window_ && window_->Checked(id); }

void Dialog::EnableDlgItem(int id, bool enabled) {
    if (window_) window_->Enable(id, enabled);
}

void Dialog::GotoDlgCtrl(int id) {
    if (window_) window_->SetFocus(id);
}

void Dialog::DrawBitmap(int id, int bitmapId) {
    if (window_) window_->DrawBitmap(id, bitmapId);
}

}  // namespace ui
