#include "ui/qt/qt_host.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDialog>
#include <QEventLoop>
#include <QFontDatabase>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>

#include <cmath>

namespace ui::qt {

namespace {

QString ToQt(const std::string& s) {
    QString q = QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return q;
}

std::string FromQt(const QString& q, bool crlf) {
    QString s = q;
    if (crlf) {
        s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        s.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    }
    QByteArray b = s.toUtf8();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

// The picture control: shows the bitmap drawn into it from its top left
// corner, clipped to the control.
class PictureLabel : public QLabel {
public:
    explicit PictureLabel(QWidget* parent) : QLabel(parent) { setAlignment(Qt::AlignLeft | Qt::AlignTop); }
    void SetBitmap(int bitmapId) {
        // The same picture again changes nothing; repainting it would only flicker.
        if (bitmapId == bitmapId_) return;
        bitmapId_ = bitmapId;
        QPixmap pm(QtHost::BitmapPath(bitmapId));
        if (pm.isNull())
            clear();
        else
            setPixmap(pm);
    }
    int BitmapId() const { return bitmapId_; }

private:
    int bitmapId_ = 0;
};

// A check box or radio button takes a click anywhere in its rectangle, as
// the template lays it out, not only on its mark and text.
template <typename Button>
class WholeRectButton : public Button {
public:
    using Button::Button;

protected:
    bool hitButton(const QPoint& pos) const override { return this->rect().contains(pos); }
};

}  // namespace

// --- the clock --------------------------------------------------------------

class QtHost::SleepClock : public platform::RealClock {
public:
    explicit SleepClock(QtHost& host) : host_(host) {}
    void Sleep(int ms) override { host_.SleepPainting(ms); }

private:
    QtHost& host_;
};

// --- the keyboard -------------------------------------------------------------

class QtHost::KeyGuard : public QObject {
public:
    explicit KeyGuard(const int& sleepDepth) : sleepDepth_(sleepDepth) {}

    // The clicks held during a sleep, handed on after it as the window
    // system would have handed them on: at the next turn of an event loop
    // that is not a sleep, and not to a window that a modal one blocks by
    // then (a prompt that has opened meanwhile takes them, as it would).
    void ReleaseClicks(QObject& context) {
        if (held_.empty()) return;
        auto clicks = std::make_shared<std::vector<HeldClick>>(std::move(held_));
        held_.clear();
        QMetaObject::invokeMethod(&context, [this, clicks] {
            for (HeldClick& c : *clicks) {
                if (!c.receiver) continue;
                if (sleepDepth_ > 0) {
                    held_.push_back(std::move(c));
                    continue;
                }
                if (QWidget* modal = QApplication::activeModalWidget();
                    modal && c.receiver->window() != modal && !modal->isAncestorOf(c.receiver))
                    continue;
                QCoreApplication::sendEvent(c.receiver, c.event.get());
            }
        }, Qt::QueuedConnection);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        const bool sleeping = sleepDepth_ > 0;
        // A click made while the station sleeps waits for the sleep to end;
        // handed on within it, it would press START (or tick a box) in the
        // middle of the run that is sleeping.
        if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonRelease ||
            e->type() == QEvent::MouseButtonDblClick) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (!sleeping || !widget) return false;
            held_.push_back({widget, std::unique_ptr<QEvent>(e->clone())});
            return true;
        }
        if (e->type() != QEvent::KeyPress && e->type() != QEvent::ShortcutOverride) return false;
        auto* key = static_cast<QKeyEvent*>(e);
        if (!sleeping && !(key->isAutoRepeat() && !RepeatsIn(watched, key->key()))) return false;
        // Taken as overridden, so that no shortcut acts on it either; the
        // key press that follows is dropped here too.
        if (e->type() == QEvent::ShortcutOverride) e->accept();
        return true;
    }

private:
    struct HeldClick {
        QPointer<QWidget> receiver;
        std::unique_ptr<QEvent> event;
    };

    // Whether a repeating key types in the field it goes to: holding a
    // key there repeats it, as anywhere; only Enter, Escape and the keys of
    // a button never repeat.
    static bool RepeatsIn(QObject* watched, int key) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) return false;
        QWidget* w = Receiver(watched);
        if (auto* le = qobject_cast<QLineEdit*>(w)) return !le->isReadOnly();
        if (auto* pe = qobject_cast<QPlainTextEdit*>(w)) return !pe->isReadOnly() && key != Qt::Key_Tab;
        return false;
    }

    // The widget a key goes to: a window hands its keys to its focus.
    static QWidget* Receiver(QObject* watched) {
        if (auto* w = qobject_cast<QWidget*>(watched)) return w;
        if (auto* window = qobject_cast<QWindow*>(watched))
            for (QWidget* top : QApplication::topLevelWidgets())
                if (top->windowHandle() == window) return top->focusWidget() ? top->focusWidget() : top;
        return QApplication::focusWidget();
    }

    const int& sleepDepth_;
    std::vector<HeldClick> held_;
};

// --- the dialog window --------------------------------------------------------

namespace {

class DialogWidget : public QDialog {
public:
    std::function<void()> onEscape, onEnter, onClose;
    std::function<void(const QPoint&)> onMenu;

    using QDialog::QDialog;

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) {
            QWidget::keyPressEvent(e);
            return;
        }
        switch (e->key()) {
        case Qt::Key_Escape:
            if (onEscape) onEscape();
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (onEnter) onEnter();
            break;
        default:
            QWidget::keyPressEvent(e);
        }
    }
    void closeEvent(QCloseEvent* e) override {
        // The dialog decides: its OnClose ends it or not.
        e->ignore();
        if (onClose) onClose();
    }
    void contextMenuEvent(QContextMenuEvent* e) override {
        if (onMenu) onMenu(e->globalPos());
    }
};

}  // namespace

class QtHost::QtWindow : public Window {
public:
    QtWindow(QtHost& host, Dialog& dialog, QWidget* parent) : host_(host), dialog_(dialog) {
        serial_ = host.SerialOf(dialog);
        auto* w = new DialogWidget(parent);
        widget_ = w;
        const DialogTemplate& t = dialog.Template();
        w->setWindowTitle(ToQt(t.title));
        w->setFixedSize(PixelsX(t.width), PixelsY(t.height));
        w->setWindowModality(dialog.IsModal() ? Qt::ApplicationModal : Qt::NonModal);
        // Our windows have no help button, and a close button only.
        w->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

        const Dialog* d = &dialog;
        std::uint64_t serial = serial_;
        w->onEscape = [this, d, serial] { host_.Deliver(d, serial, [this] { Escape(); }); };
        w->onEnter = [this, d, serial] { host_.Deliver(d, serial, [this] { Enter(); }); };
        w->onClose = [this, d, serial] { host_.Deliver(d, serial, [this] { dialog_.OnClose(); }); };
        w->onMenu = [this, d, serial](const QPoint& at) {
            host_.Deliver(d, serial, [this, at] { ShowMenu(at); });
        };

        for (const auto& c : t.controls)
            if (c.kind == ControlKind::Button && (c.style & kDefault)) hasDefaultButton_ = true;
        std::vector<QWidget*> frames;
        for (const auto& c : t.controls) {
            QWidget* cw = MakeControl(c);
            if (!cw) continue;
            cw->setGeometry(PixelsX(c.rect.x), PixelsY(c.rect.y), PixelsX(c.rect.width), PixelsY(c.rect.height));
            if (c.fontHeight > 0) {
                QFont f = cw->font();
                f.setPixelSize(PixelsY(c.fontHeight));
                cw->setFont(f);
            }
            if (c.kind == ControlKind::GroupBox) frames.push_back(cw);
            if (!controls_.count(c.id)) {
                controls_[c.id] = cw;
                kinds_[c.id] = c;
            }
        }
        // A frame is drawn behind the controls it surrounds.
        for (QWidget* f : frames) f->lower();
    }

    ~QtWindow() override {
        if (widget_) {
            widget_->hide();
            auto* w = static_cast<DialogWidget*>(widget_.data());
            w->onEscape = nullptr;
            w->onEnter = nullptr;
            w->onClose = nullptr;
            w->onMenu = nullptr;
            // Later: this may run inside a handler of one of its controls.
            widget_->deleteLater();
        }
    }

    QWidget* Widget() const { return widget_; }
    QWidget* Control(int id) const {
        auto it = controls_.find(id);
        return it == controls_.end() ? nullptr : it->second.data();
    }

    void SetTitle(const std::string& title) override {
        if (widget_) widget_->setWindowTitle(ToQt(title));
    }
    std::string Title() const override { return widget_ ? FromQt(widget_->windowTitle(), false) : std::string(); }

    void SetText(int id, const std::string& text) override {
        QWidget* c = Control(id);
        if (!c) return;
        texts_[id] = text;
        QString q = ToQt(text);
        if (auto* pe = qobject_cast<QPlainTextEdit*>(c)) {
            pe->setPlainText(q);
            if (kinds_[id].style & kAutoScroll) {
                pe->verticalScrollBar()->setValue(pe->verticalScrollBar()->maximum());
                pe->horizontalScrollBar()->setValue(0);
            }
        } else if (auto* le = qobject_cast<QLineEdit*>(c)) {
            le->setText(q);
            le->setCursorPosition(0);
        } else if (auto* gb = qobject_cast<QGroupBox*>(c)) {
            gb->setTitle(q);
        } else if (auto* b = qobject_cast<QAbstractButton*>(c)) {
            b->setText(q);
        } else if (dynamic_cast<PictureLabel*>(c)) {
            // a picture shows no text
        } else if (auto* l = qobject_cast<QLabel*>(c)) {
            l->setText(q);
        }
    }

    std::string Text(int id) const override {
        QWidget* c = Control(id);
        if (!c) return {};
        QString q;
        bool multiLine = false;
        if (auto* pe = qobject_cast<QPlainTextEdit*>(c)) {
            q = pe->toPlainText();
            multiLine = true;
        } else if (auto* le = qobject_cast<QLineEdit*>(c)) {
            q = le->text();
        } else if (auto* gb = qobject_cast<QGroupBox*>(c)) {
            q = gb->title();
        } else if (auto* b = qobject_cast<QAbstractButton*>(c)) {
            q = b->text();
        } else if (dynamic_cast<PictureLabel*>(c)) {
            return {};
        } else if (auto* l = qobject_cast<QLabel*>(c)) {
            q = l->text();
            multiLine = true;
        }
        // Unchanged since we set it: the exact text, line ends and all.
        auto it = texts_.find(id);
        if (it != texts_.end() && ToQt(it->second) == q) return it->second;
        return FromQt(q, multiLine);
    }

    void SetCheck(int id, bool checked) override {
        if (auto* b = qobject_cast<QAbstractButton*>(Control(id)); b && b->isCheckable()) {
            // Set by the program: no click, so no handler runs.
            b->setChecked(checked);
        }
    }
    bool Checked(int id) const override {
        auto* b = qobject_cast<QAbstractButton*>(Control(id));
        return b && b->isCheckable() && b->isChecked();
    }
    void Enable(int id, bool enabled) override {
        if (QWidget* c = Control(id)) c->setEnabled(enabled);
    }
    bool Enabled(int id) const override {
        QWidget* c = Control(id);
        return c && c->isEnabled();
    }
    void SetFocus(int id) override {
        QWidget* c = Control(id);
        if (!c) return;
        focus_ = id;
        c->setFocus(Qt::OtherFocusReason);
        if (auto* le = qobject_cast<QLineEdit*>(c)) le->selectAll();
    }
    int Focus() const override {
        if (widget_) {
            if (QWidget* f = widget_->focusWidget()) {
                for (const auto& [id, c] : controls_)
                    if (c && (c == f || c->isAncestorOf(f)) && id > 0) return id;
            }
        }
        return focus_;
    }
    void DrawBitmap(int id, int bitmapId) override {
        if (auto* p = dynamic_cast<PictureLabel*>(Control(id))) p->SetBitmap(bitmapId);
    }
    void SetProgressRange(int id, int low, int high) override {
        if (auto* p = qobject_cast<QProgressBar*>(Control(id))) p->setRange(std::min(low, high), std::max(low, high));
    }
    void SetProgressPos(int id, int pos) override {
        if (auto* p = qobject_cast<QProgressBar*>(Control(id)))
            p->setValue(std::clamp(pos, p->minimum(), p->maximum()));
    }
    int ProgressPos(int id) const override {
        auto* p = qobject_cast<QProgressBar*>(Control(id));
        return p ? p->value() : 0;
    }
    void Show(bool visible) override {
        if (!widget_) return;
        bool was = widget_->isVisible();
        if (visible) {
            widget_->show();
            // The offscreen platform of the tests has no stacking to change.
            if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
                widget_->raise();
                widget_->activateWindow();
            }
            if (!was) dialog_.OnPaint();  // a window is painted when it appears
        } else {
            widget_->hide();
        }
    }
    void Redraw() override {
        dialog_.OnPaint();
        if (widget_) widget_->repaint();
    }

private:
    QWidget* MakeControl(const ControlTemplate& c) {
        QWidget* parent = widget_;
        const Dialog* d = &dialog_;
        std::uint64_t serial = serial_;
        int id = c.id;
        auto command = [this, d, serial, id] { host_.Deliver(d, serial, [this, id] { dialog_.DispatchCommand(id); }); };
        QString text = ToQt(c.text);
        texts_[id] = c.text;
        switch (c.kind) {
        case ControlKind::Static: {
            auto* l = new QLabel(text, parent);
            l->setTextFormat(Qt::PlainText);
            l->setWordWrap(true);
            l->setAlignment(((c.style & kCentered) ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
            if (c.style & kBorder) l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            if (c.style & kItalic) {
                QFont f = l->font();
                f.setItalic(true);
                l->setFont(f);
            }
            return l;
        }
        case ControlKind::Picture: {
            auto* p = new PictureLabel(parent);
            if (c.style & kBorder) p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            return p;
        }
        case ControlKind::Edit: {
            if (c.style & kMultiLine) {
                auto* e = new QPlainTextEdit(parent);
                e->setReadOnly(c.style & kReadOnly);
                e->setVerticalScrollBarPolicy((c.style & kVScroll) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
                // A log's lines break where its texts break them, never inside
                // a value and its unit: a line wider than the box scrolls.
                e->setHorizontalScrollBarPolicy((c.style & kHScroll) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
                e->setLineWrapMode(QPlainTextEdit::NoWrap);
                e->setPlainText(text);
                return e;
            }
            auto* e = new QLineEdit(text, parent);
            e->setReadOnly(c.style & kReadOnly);
            if (c.style & kCentered) e->setAlignment(Qt::AlignCenter);
            return e;
        }
        case ControlKind::Button: {
            auto* b = new QPushButton(text, parent);
            // The focused button takes Enter itself and wears the default
            // frame until the focus leaves it; then the template's default
            // button has both again. A template without a default button
            // gets none: a dialog would otherwise make one of its own.
            b->setAutoDefault(hasDefaultButton_);
            if (c.style & kDefault) b->setDefault(true);
            QObject::connect(b, &QPushButton::clicked, b, command);
            return b;
        }
        case ControlKind::CheckBox: {
            auto* b = new WholeRectButton<QCheckBox>(text, parent);
            QObject::connect(b, &QCheckBox::clicked, b, command);
            return b;
        }
        case ControlKind::Radio: {
            auto* b = new WholeRectButton<QRadioButton>(text, parent);
            // Each button on its own; the dialog's handlers clear the others.
            b->setAutoExclusive(false);
            QObject::connect(b, &QRadioButton::clicked, b, [b, command] {
                b->setChecked(true);
                command();
            });
            return b;
        }
        case ControlKind::GroupBox:
            return new QGroupBox(text, parent);
        case ControlKind::Progress: {
            auto* p = new QProgressBar(parent);
            p->setRange(0, 100);
            p->setValue(0);
            p->setTextVisible(false);
            return p;
        }
        }
        return nullptr;
    }

    void Escape() {
        if (QWidget* c = Control(IDCANCEL); c && !c->isEnabled()) return;
        dialog_.DispatchCommand(IDCANCEL);
    }
    void Enter() {
        if (int id = dialog_.EnterCommand()) dialog_.DispatchCommand(id);
    }
    void ShowMenu(const QPoint& at) {
        const auto& items = dialog_.Template().menu;
        if (items.empty() || !widget_) return;
        QMenu menu(widget_);
        for (const auto& item : items) {
            QAction* a = menu.addAction(ToQt(item.text));
            a->setData(item.command);
        }
        QAction* chosen = menu.exec(at);
        if (chosen && widget_) dialog_.OnSysCommand(chosen->data().toInt());
    }

    QtHost& host_;
    Dialog& dialog_;
    std::uint64_t serial_ = 0;
    QPointer<QWidget> widget_;
    std::map<int, QPointer<QWidget>> controls_;
    std::map<int, ControlTemplate> kinds_;
    std::map<int, std::string> texts_;
    int focus_ = 0;
    bool hasDefaultButton_ = false;
};

// --- the host ---------------------------------------------------------------

QtHost::QtHost()
    : clock_(std::make_unique<SleepClock>(*this)), keyGuard_(std::make_unique<KeyGuard>(sleepDepth_)),
      beeper_(*clock_) {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(keyGuard_.get());
    // The operator reads Japanese: a Japanese font where the machine has one,
    // sized so that the dialog units match the pixel scale of the templates.
    if (QFontDatabase::families().contains(QStringLiteral("IPAGothic"))) {
        QFont f(QStringLiteral("IPAGothic"));
        f.setPixelSize(12);
        QApplication::setFont(f);
    }
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon/icon_128.png")));
}

QtHost::~QtHost() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(keyGuard_.get());
    for (auto& [key, t] : timers_) {
        t.timer->stop();
        delete t.timer;
    }
    timers_.clear();
    while (waitDepth_ > 0) EndWaitCursor();
}

int QtHost::PixelsX(int du) { return static_cast<int>(std::lround(du * 1.75)); }
int QtHost::PixelsY(int du) { return static_cast<int>(std::lround(du * 1.5)); }

QString QtHost::BitmapPath(int bitmapId) { return QStringLiteral(":/bitmaps/bitmap_%1.bmp").arg(bitmapId); }

platform::Clock& QtHost::Clock() { return *clock_; }

std::uint64_t QtHost::SerialOf(const Dialog& dialog) const {
    auto it = live_.find(&dialog);
    return it == live_.end() ? 0 : it->second;
}

QWidget* QtHost::WidgetOf(const Dialog& dialog) const {
    auto it = windows_.find(&dialog);
    return it == windows_.end() ? nullptr : it->second->Widget();
}

QWidget* QtHost::ControlWidget(const Dialog& dialog, int id) const {
    auto it = windows_.find(&dialog);
    return it == windows_.end() ? nullptr : it->second->Control(id);
}

QWidget* QtHost::TopModalWidget() const {
    for (auto it = modalStack_.rbegin(); it != modalStack_.rend(); ++it)
        if (QWidget* w = WidgetOf(**it)) return w;
    return nullptr;
}

bool QtHost::SaveScreenshot(Dialog& dialog, const std::string& pngPath) {
    QWidget* w = WidgetOf(dialog);
    if (!w) return false;
    QPixmap pm = w->grab();
    return !pm.isNull() && pm.save(QString::fromStdString(pngPath), "PNG");
}

std::unique_ptr<Window> QtHost::CreateWindowFor(Dialog& dialog, Dialog* parent) {
    live_[&dialog] = ++serial_;
    // A window without an owner of its own stays above the running modal one.
    QWidget* parentWidget = parent ? WidgetOf(*parent) : TopModalWidget();
    auto window = std::make_unique<QtWindow>(*this, dialog, parentWidget);
    windows_[&dialog] = window.get();
    return window;
}

void QtHost::WindowDestroyed(Dialog& dialog) {
    live_.erase(&dialog);
    windows_.erase(&dialog);
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->first.first == &dialog) {
            auto next = std::next(it);
            RemoveTimer(it);
            it = next;
        } else {
            ++it;
        }
    }
    if (auto it = loops_.find(&dialog); it != loops_.end()) it->second->quit();
}

void QtHost::Deliver(const Dialog* dialog, std::uint64_t serial, std::function<void()> action) {
    auto it = live_.find(dialog);
    if (it == live_.end() || it->second != serial) return;
    if (sleepDepth_ > 0) {
        deferred_.push_back([this, dialog, serial, action] { Deliver(dialog, serial, action); });
        return;
    }
    action();
}

void QtHost::RunModalLoop(Dialog& dialog) {
    if (dialog.Ended() || !dialog.IsOpen()) return;
    QEventLoop loop;
    loops_[&dialog] = &loop;
    modalStack_.push_back(&dialog);
    loop.exec(QEventLoop::AllEvents);
    modalStack_.pop_back();
    loops_.erase(&dialog);
}

void QtHost::DialogEnded(Dialog& dialog) {
    if (auto it = loops_.find(&dialog); it != loops_.end()) it->second->quit();
}

void QtHost::PumpWaitingMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtHost::PostCommand(Dialog& dialog, int id) {
    const Dialog* d = &dialog;
    std::uint64_t serial = SerialOf(dialog);
    if (!serial) return;
    QMetaObject::invokeMethod(
        &context_, [this, d, serial, id] { Deliver(d, serial, [d, id] { const_cast<Dialog*>(d)->DispatchCommand(id); }); },
        Qt::QueuedConnection);
}

void QtHost::PostClose(Dialog& dialog) {
    const Dialog* d = &dialog;
    std::uint64_t serial = SerialOf(dialog);
    if (!serial) return;
    QMetaObject::invokeMethod(
        &context_, [this, d, serial] { Deliver(d, serial, [d] { const_cast<Dialog*>(d)->OnClose(); }); },
        Qt::QueuedConnection);
}

void QtHost::SetTimer(Dialog& dialog, int id, int intervalMs, bool periodic) {
    if (!SerialOf(dialog)) return;
    TimerKey key{&dialog, id};
    if (auto it = timers_.find(key); it != timers_.end()) RemoveTimer(it);
    auto* t = new QTimer(&context_);
    t->setInterval(std::max(intervalMs, 0));
    t->setSingleShot(!periodic);
    QObject::connect(t, &QTimer::timeout, &context_, [this, key] {
        if (sleepDepth_ > 0) {
            // Delivered once the sleep is over, like a timer message that waits in the queue.
            pendingTimers_.insert(key);
            return;
        }
        FireTimer(key);
    });
    timers_[key] = {t, &dialog, periodic};
    t->start();
}

void QtHost::FireTimer(TimerKey key) {
    auto it = timers_.find(key);
    if (it == timers_.end()) return;
    Dialog* d = it->second.dialog;
    if (!it->second.periodic) RemoveTimer(it);
    d->OnTimer(key.second);
}

void QtHost::RemoveTimer(std::map<TimerKey, TimerEntry>::iterator it) {
    it->second.timer->stop();
    it->second.timer->deleteLater();
    pendingTimers_.erase(it->first);
    timers_.erase(it);
}

void QtHost::KillTimer(Dialog& dialog, int id) {
    if (auto it = timers_.find({&dialog, id}); it != timers_.end()) RemoveTimer(it);
}

void QtHost::SleepPainting(int ms) {
    if (ms <= 0) return;
    if (!QCoreApplication::instance()) {
        clock_->platform::RealClock::Sleep(ms);
        return;
    }
    ++sleepDepth_;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(ms);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // The input that waited, while still asleep: keys pressed meanwhile are
    // dropped (nothing asked for them), clicks held for after the sleep.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    --sleepDepth_;
    if (sleepDepth_ == 0) FlushDeferred();
}

void QtHost::FlushDeferred() {
    keyGuard_->ReleaseClicks(context_);
    for (const TimerKey& key : pendingTimers_)
        QMetaObject::invokeMethod(&context_, [this, key] { FireTimer(key); }, Qt::QueuedConnection);
    pendingTimers_.clear();
    std::vector<std::function<void()>> work;
    work.swap(deferred_);
    for (auto& w : work) QMetaObject::invokeMethod(&context_, w, Qt::QueuedConnection);
}

int QtHost::MessageBox(Dialog* owner, const std::string& text, const std::string& caption, MbButtons buttons,
                       MbIcon icon) {
    QWidget* parent = owner ? WidgetOf(*owner) : TopModalWidget();
    QMessageBox box(parent);
    box.setWindowTitle(ToQt(caption));
    box.setText(ToQt(text));
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case MbIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MbIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MbIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MbIcon::Stop:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (buttons == MbButtons::OkCancel) {
        cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
        box.setEscapeButton(cancel);
    } else {
        box.setEscapeButton(ok);
    }
    box.setDefaultButton(ok);
    box.exec();
    return (cancel && box.clickedButton() == cancel) ? IDCANCEL : IDOK;
}

void QtHost::BeginWaitCursor() {
    if (waitDepth_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtHost::EndWaitCursor() {
    if (waitDepth_ == 0) return;
    if (--waitDepth_ == 0) QApplication::restoreOverrideCursor();
}

void QtHost::Beep(int frequencyHz, int durationMs) { beeper_.Beep(frequencyHz, durationMs); }

}  // namespace ui::qt
