#include "adjust/tft_position_dlg.h"

#include "adjust/camera_session.h"
#include "camera/usb_camera.h"
#include "res/adjust_templates.h"

namespace {

constexpr std::uint32_t kBlockSize = 8;

// One position field of the 8-byte block, per video mode.
struct Field {
    int byte;
    std::uint8_t mask;
    int low, high, step;
};

struct ModeBlock {
    std::uint32_t address;
    Field vertical;
    Field horizontal;
};

constexpr ModeBlock kBlocks[2] = {
    {72, {5, 0x1F, 0, 31, 1}, {1, 0x3F, 0, 63, 1}},   // NTSC
    {328, {5, 0x1F, 2, 31, 6}, {1, 0x3F, 0, 63, 1}},  // PAL
};

}  // namespace

CTftPositionDlg::CTftPositionDlg(ui::Host& host) : ui::Dialog(host, res::TftPositionTemplate()) {
    OnCommand(IDC_NTSC, [this] { OnVideoMode(0); });
    OnCommand(IDC_PAL, [this] { OnVideoMode(1); });
    OnCommand(IDC_UP, [this] { OnDirection(kVertical, kPlus); });
    OnCommand(IDC_DOWN, [this] { OnDirection(kVertical, kMinus); });
    OnCommand(IDC_RIGHT, [this] { OnDirection(kHorizontal, kPlus); });
    OnCommand(IDC_LEFT, [this] { OnDirection(kHorizontal, kMinus); });
    OnCommand(IDC_FINISH, [this] { OnFinish(); });
}

bool CTftPositionDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    CheckDlgButton(IDC_NTSC, false);
    CheckDlgButton(IDC_PAL, false);
    m_videoMode = kNoMode;
    m_result = 1;
    m_blockNotKept = false;
    return true;
}

void CTftPositionDlg::OnVideoMode(std::uint8_t mode) {
    CheckDlgButton(mode == 0 ? IDC_PAL : IDC_NTSC, false);
    CheckDlgButton(mode == 0 ? IDC_NTSC : IDC_PAL, true);
    m_videoMode = mode;
    const int r = SelectVideoMode(mode);
    if (!m_blockNotKept) m_result = r;
    if (r != 1) {
        AppMessageBox("USB通信エラーです。もう一度やり直してください");
        PostCommand(ui::IDOK);
    }
}

void CTftPositionDlg::OnDirection(Axis axis, Direction direction) {
    if (m_videoMode == kNoMode) {
        AppMessageBox("VIDEOモードを選択してください");
        return;
    }
    int r = MoveTftPosition(axis, direction);
    // The camera holds another block than the one written: the item ends
    // as a configuration memory write whose read-back differs does, whatever
    // the operator does next.
    if (r == kNotKept) {
        m_blockNotKept = true;
        m_result = kErrUsbCommunication;
    }
    if (r == kErrTftPositionRange)
        AppMessageBox("TFT調整オーバーです");
    else if (r != 1)
        AppMessageBox("USB通信エラーです");
}

void CTftPositionDlg::OnFinish() {
    SwitchPlayOff();
    PostCommand(ui::IDOK);
}

void CTftPositionDlg::OnCancel() {
    // Escape and the window's close end the adjustment as OK does: the camera
    // must not be left showing the test pattern.
    SwitchPlayOff();
    ui::Dialog::OnCancel();
}

void CTftPositionDlg::SwitchPlayOff() {
    if (m_pCamera->SetPlayMode(1) != 1) AppMessageBox("USB通信エラーです。");
}

int CTftPositionDlg::SelectVideoMode(std::uint8_t mode) {
    CUsbCamera& camera = *m_pCamera;
    if (!station::Step(*this, camera.SetPlayMode(1), 100)) return kErrUsbCommunication;
    if (!station::Step(*this, camera.SetVideoMode(mode), 50)) return kErrUsbCommunication;
    if (camera.SetPlayMode(0) != 1) return kErrUsbCommunication;
    if (!station::Step(*this, camera.ShowTestPattern(21), 100)) return kErrUsbCommunication;
    return 1;
}

int CTftPositionDlg::MoveTftPosition(Axis axis, Direction direction) {
    if (m_videoMode > 1) return kErrUsbCommunication;
    const ModeBlock& block = kBlocks[m_videoMode];
    const Field& field = axis == kVertical ? block.vertical : block.horizontal;
    CUsbCamera& camera = *m_pCamera;

    // Every byte of the block is written back: two reads must agree, so
    // that a glitch on the wire is not stored.
    std::uint8_t data[kBlockSize] = {};
    if (!station::Step(*this,
                       camera.WriteConfigMemoryVerified(ConfigMemory::TftEeprom, MemoryDirection::Read, block.address,
                                                        kBlockSize, data),
                       20))
        return kErrUsbCommunication;

    int value = data[field.byte] & field.mask;
    int moved = value + direction * field.step;
    if (moved < field.low || moved > field.high) return kErrTftPositionRange;
    // The other bits of the byte, and the other bytes, go back as they came.
    data[field.byte] = static_cast<std::uint8_t>((data[field.byte] & ~field.mask) | moved);

    if (!station::Step(*this,
                       camera.TransferConfigMemory(ConfigMemory::TftEeprom, MemoryDirection::Write, block.address,
                                                   kBlockSize, data),
                       20))
        return kErrUsbCommunication;
    if (!station::Step(*this, camera.SendUpdateCommand(4), 20)) return kErrUsbCommunication;
    if (!station::Step(*this, camera.SendUpdateCommand(5), 20)) return kErrUsbCommunication;
    // Committed to flash and unpacked again: what the display shows now.
    const int held = camera.ConfigMemoryHolds(ConfigMemory::TftEeprom, block.address, kBlockSize, data);
    return held == 1 ? 1 : held == 0 ? kNotKept : kErrUsbCommunication;
}
