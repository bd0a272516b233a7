#pragma once
// Dialog templates: what a window holds, in dialog units, independent of the
// host that shows it.

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

enum class ControlKind {
    Static,    // static text
    Picture,   // picture static: a bitmap drawn into it
    Edit,      // edit box, single or multi-line
    Button,    // push button
    CheckBox,  // auto-check box
    Radio,     // radio button
    GroupBox,  // frame with a caption
    Progress,  // progress bar
};

// Style bits; only those that a kind understands have an effect.
enum Style : std::uint32_t {
    kNone = 0,
    kMultiLine = 1u << 0,
    kReadOnly = 1u << 1,
    kHScroll = 1u << 2,
    kVScroll = 1u << 3,
    kAutoScroll = 1u << 4,  // an edit keeps its last line in view
    kCentered = 1u << 5,    // centred text
    kBorder = 1u << 6,
    kDefault = 1u << 7,     // the default push button
    kItalic = 1u << 8,
};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
};

struct ControlTemplate {
    int id = 0;  // 0 or -1 for controls that nobody addresses (labels)
    ControlKind kind = ControlKind::Static;
    std::string text;  // UTF-8
    Rect rect;
    std::uint32_t style = kNone;
    int fontHeight = 0;  // the control's own font, in dialog units; 0: the window's (8 units high)
};

// An item of the window's menu (desktops without a system menu show it as the
// window's context menu); choosing it calls Dialog::OnSysCommand(command).
struct MenuItemTemplate {
    int command = 0;
    std::string text;
};

struct DialogTemplate {
    int id = 0;  // the resource id (IDD)
    std::string title;
    int width = 0, height = 0;  // dialog units
    std::vector<ControlTemplate> controls;
    std::vector<MenuItemTemplate> menu;

    const ControlTemplate* Find(int controlId) const {
        for (const auto& c : controls)
            if (c.id == controlId) return &c;
        return nullptr;
    }
};

}  // namespace ui
