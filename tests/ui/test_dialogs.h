#pragma once
// Small dialogs for the framework's tests.

#include <string>
#include <vector>

#include "ui/dialog.h"

namespace ui_test {

using namespace ui;

inline ControlTemplate Ctl(int id, ControlKind kind, const std::string& text, Rect r, std::uint32_t style = kNone) {
    return ControlTemplate{id, kind, text, r, style};
}

// A form with one control of every kind, bound to members of every type.
inline DialogTemplate FormTemplate() {
    DialogTemplate t;
    t.id = 500;
    t.title = "フォーム";
    t.width = 300;
    t.height = 220;
    t.controls = {
        Ctl(50, ControlKind::Picture, "", {0, 0, 208, 149}, kBorder),
        Ctl(10, ControlKind::Edit, "", {210, 0, 80, 12}),
        Ctl(11, ControlKind::Edit, "", {210, 14, 80, 12}),
        Ctl(12, ControlKind::Edit, "", {210, 28, 80, 12}),
        Ctl(13, ControlKind::Edit, "", {210, 42, 80, 12}),
        Ctl(14, ControlKind::Edit, "", {210, 56, 80, 12}),
        Ctl(15, ControlKind::Edit, "", {210, 70, 80, 12}),
        Ctl(16, ControlKind::Edit, "", {0, 150, 208, 60}, kMultiLine | kReadOnly | kVScroll | kHScroll | kAutoScroll),
        Ctl(17, ControlKind::Edit, "", {210, 84, 80, 12}, kReadOnly),
        Ctl(20, ControlKind::CheckBox, "チェック", {210, 98, 80, 10}),
        Ctl(21, ControlKind::Radio, "ラジオ", {210, 110, 80, 10}),
        Ctl(-1, ControlKind::GroupBox, "枠", {205, 95, 90, 30}),
        Ctl(-1, ControlKind::Static, "ラベル", {210, 128, 80, 10}),
        Ctl(40, ControlKind::Progress, "", {210, 140, 80, 8}),
        Ctl(30, ControlKind::Button, "ボタン", {210, 150, 80, 14}),
        Ctl(IDOK, ControlKind::Button, "OK", {210, 170, 40, 14}, kDefault),
        Ctl(IDCANCEL, ControlKind::Button, "CANCEL", {252, 170, 40, 14}),
    };
    t.menu = {{16, "バージョン情報(&A)..."}};
    return t;
}

class Form : public Dialog {
public:
    explicit Form(Host& host) : Dialog(host, FormTemplate()) {}

    std::string name;
    double real = 0;
    std::uint32_t u32 = 0;
    std::uint16_t u16 = 0;
    std::uint8_t u8 = 0;
    int integer = 0;
    std::string log;
    int check = 0;
    std::vector<int> sysCommands;

    void DoDataExchange(DataExchange& dx) override {
        dx.Text(10, name);
        dx.MaxChars(10, name, 4);
        dx.Text(11, real);
        dx.Text(12, u32);
        dx.Text(13, u16);
        dx.Text(14, u8);
        dx.Text(15, integer);
        dx.MinMax(15, integer, -5, 300);
        dx.Text(16, log);
        dx.Check(20, check);
    }
    void OnSysCommand(int command) override { sysCommands.push_back(command); }
};

// A dialog that writes down what reaches it.
class Recorder : public Dialog {
public:
    explicit Recorder(Host& host, int id = 510) : Dialog(host, Tmpl(id)) {}

    static DialogTemplate Tmpl(int id) {
        DialogTemplate t;
        t.id = id;
        t.title = "recorder";
        t.width = 100;
        t.height = 60;
        t.controls = {
            Ctl(30, ControlKind::Button, "A", {5, 5, 40, 14}),
            Ctl(31, ControlKind::Button, "B", {50, 5, 40, 14}),
            Ctl(IDOK, ControlKind::Button, "OK", {5, 40, 40, 14}, kDefault),
            Ctl(IDCANCEL, ControlKind::Button, "CANCEL", {50, 40, 40, 14}),
        };
        return t;
    }

    std::vector<std::string> events;
    std::function<bool()> onInit;
    std::function<void(int)> onTimer;
    bool closeEnds = true;

    bool OnInitDialog() override {
        Dialog::OnInitDialog();
        return onInit ? onInit() : true;
    }
    void OnTimer(int id) override {
        events.push_back("timer " + std::to_string(id));
        if (onTimer) onTimer(id);
    }
    void OnClose() override {
        events.push_back("close");
        if (closeEnds) Dialog::OnClose();
    }
    void OnCancel() override {
        events.push_back("cancel");
        Dialog::OnCancel();
    }
    void OnOK() override {
        events.push_back("ok");
        Dialog::OnOK();
    }
};

// The modeless yes/no prompt: undecided until a button is pressed.
class Prompt : public Dialog {
public:
    static constexpr int kUndecided = 85;
    explicit Prompt(Host& host) : Dialog(host, Tmpl()) {}

    static DialogTemplate Tmpl() {
        DialogTemplate t;
        t.id = 162;
        t.title = "MESSAGE BOX";
        t.width = 139;
        t.height = 50;
        t.controls = {
            Ctl(1135, ControlKind::Static, "", {10, 5, 125, 13}),
            Ctl(IDOK, ControlKind::Button, "OK", {10, 30, 50, 14}, kDefault),
            Ctl(IDCANCEL, ControlKind::Button, "CANCEL", {75, 30, 50, 14}),
        };
        return t;
    }

    int result = 0;
    bool OnInitDialog() override {
        Dialog::OnInitDialog();
        result = kUndecided;
        return true;
    }
    void OnOK() override {
        result = 1;
        Dialog::OnOK();
    }
    void OnCancel() override {
        result = 0;
        Dialog::OnCancel();
    }
};

}  // namespace ui_test
