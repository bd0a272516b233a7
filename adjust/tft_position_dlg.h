#pragma once
// TFT display position: the operator centres the picture on the camera's
// monitor by hand, one step per press of a direction button, after choosing
// the video mode. Each step rewrites a position field of the TFT EEPROM.

#include <cstdint>

#include "res/resource.h"
#include "ui/dialog.h"

class CUsbCamera;

class CTftPositionDlg : public ui::Dialog, public res::TftPositionIds {
public:
    static constexpr std::uint8_t kNoMode = 0xFF;
    enum Axis { kVertical, kHorizontal };
    enum Direction { kMinus = -1, kPlus = 1 };

    explicit CTftPositionDlg(ui::Host& host);

    CUsbCamera* m_pCamera = nullptr;  // not owned
    std::uint8_t m_videoMode = kNoMode;  // 0 NTSC, 1 PAL
    int m_result = 1;

    bool OnInitDialog() override;
    void OnCancel() override;

    int SelectVideoMode(std::uint8_t mode);
    // 1, kErrTftPositionRange beyond the range, kErrUsbCommunication a
    // command failed, kNotKept: the camera holds another block than it was
    // sent.
    static constexpr int kNotKept = 0;
    int MoveTftPosition(Axis axis, Direction direction);

private:
    bool m_blockNotKept = false;
    void OnVideoMode(std::uint8_t mode);
    void OnDirection(Axis axis, Direction direction);
    void OnFinish();
    void SwitchPlayOff();
};
