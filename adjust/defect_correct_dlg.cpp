#include "adjust/defect_correct_dlg.h"

#include <algorithm>
#include <new>

#include "adjust/gain_word.h"
#include "adjust/raw_picture.h"
#include "camera/shooting.h"
#include "camera/usb_camera.h"
#include "platform/big_endian.h"
#include "platform/format.h"
#include "res/adjust_templates.h"

namespace {

constexpr int kIntervalMs = 300;

constexpr std::size_t kImageFileBytes = 10'000'000;
constexpr std::size_t kPlaneBytes = 12'464'000;

constexpr std::uint32_t kFpgainAddress = 2088;
constexpr std::uint32_t kFpgainBytes = 40;

constexpr int kCopyCentreLimit = 100;
constexpr int kSummedCentreLimit = 50;

constexpr const char* kImageMemoryFailed =
    "画像データ保存用メモリの確保が出来ませんでした。\r\nプログラムを立ち上げなおしてください";
constexpr const char* kRawMemoryFailed =
    "RAWデータ保存用メモリの確保が出来ませんでした。\r\nプログラムを立ち上げなおしてください";
constexpr const char* kCentreMeanFormat = "中央100画素出力平均=%d\r\n";
constexpr const char* kCountsFormat = "R数=%5d  B数=%5d TOTAL=%d\r\n";

// A zero-filled block, or null when the memory cannot be had.
template <class T>
std::unique_ptr<T[]> AllocateZeroed(std::size_t bytes) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[bytes / sizeof(T)]());
}

}  // namespace

CDefectCorrectDlg::CDefectCorrectDlg(ui::Host& host)
    : CAdjustDlg(host, res::DefectCorrectTemplate(), {res::IDT_DEFECT_CORRECT, kIntervalMs, CloseBy::Close, false}),
      m_prompt(host) {}

std::uint32_t CDefectCorrectDlg::MaxWrites() const {
    // The stored aperture gain table begins where a 391st entry would.
    return std::min<std::uint32_t>(m_maxWrites, defect::kMaxTableEntries);
}

void CDefectCorrectDlg::SetProgress(int pos) {
    m_progress = pos;
    if (ui::Window* w = GetWindow()) w->SetProgressPos(IDC_PROGRESS, pos);
}

void CDefectCorrectDlg::StepProgress() {
    // Past the end the bar starts over, as a stepped progress control does.
    SetProgress(m_progress + 10 > 100 ? 0 : m_progress + 10);
}

int CDefectCorrectDlg::RunDefectCorrection() {
    if (ui::Window* w = GetWindow()) w->SetProgressRange(IDC_PROGRESS, 0, 100);
    SetProgress(0);
    ui::WaitCursor wait(GetHost());
    SetLog("暗時白欠陥画素検出\r\n");
    ShowConditions("・レンズ　：　レンズキャップ付きレンズ\r\n※．カメラに光を与えないでください\r\n");
    Pause(1000);
    StepProgress();

    // The picture and the planes live for this run only.
    struct Release {
        CDefectCorrectDlg& dlg;
        ~Release() {
            dlg.m_imageFile.reset();
            dlg.m_summedPlane.reset();
            dlg.m_copyPlane.reset();
            dlg.m_rowMax = {};
        }
    } release{*this};
    m_imageFile = AllocateZeroed<std::uint8_t>(kImageFileBytes);
    if (!m_imageFile) {
        AppMessageBox(kImageMemoryFailed);
        return kErrImageMemory;
    }
    StepProgress();
    m_summedPlane = AllocateZeroed<std::uint16_t>(kPlaneBytes);
    if (!m_summedPlane) {
        AppMessageBox(kRawMemoryFailed);
        return kErrImageMemory;
    }
    StepProgress();
    m_copyPlane = AllocateZeroed<std::uint16_t>(kPlaneBytes);
    if (!m_copyPlane) {
        AppMessageBox(kRawMemoryFailed);
        return kErrImageMemory;
    }
    m_rowMax.assign(raw::kHeight, 0);

    const int result = RunMainSequence();
    wait.Restore();
    SetProgress(100);
    return result;
}

int CDefectCorrectDlg::RunMainSequence() {
    CUsbCamera& camera = Camera();

    StepProgress();
    // The counts decide whether the table may grow: two reads must agree.
    std::uint8_t counts[4] = {};
    if (!Step(camera.WriteConfigMemoryVerified(ConfigMemory::RamConfig, MemoryDirection::Read, defect::kCountsInRam,
                                               sizeof counts, counts),
              50))
        return kErrUsbCommunication;
    const std::uint16_t oldR = platform::GetBe16(counts);
    const std::uint16_t oldB = platform::GetBe16(counts + 2);
    AppendLog(platform::Format("CCD EEPROM書き込み数  R数=%5d  B数=%5d TOTAL=%d\r\n", oldR, oldB, oldR + oldB));
    if (oldR > defect::kMaxListEntries || oldB > defect::kMaxListEntries) return kErrDefectCountOver;

    StepProgress();
    if (!Step(camera.SetShootingConditions(kDefectShutter, 0, kIso200, 0), 10)) return kErrUsbReleaseConditions;

    StepProgress();
    if (const int r = ResetFpgainTable(); r != 1) return r;

    StepProgress();
    if (const int r = CaptureDarkFrame(); r != 1) return r;

    StepProgress();
    int found = 0;
    if (const int r = DetectWhiteDefects(found); r != 1) return r;
    AppendLog(platform::Format("検出画素欠陥数 = %d\r\n", found));

    const auto total = static_cast<std::uint16_t>(found + oldR + oldB);
    const bool fits = total <= MaxWrites();
    Record({.name = "DEFECT TOTAL", .value = double(total), .high = double(MaxWrites()), .passed = fits});
    if (!fits) return kErrDefectCountOver;

    if (AskModeless(*this, m_prompt, "欠陥情報を書き込みますか") == 0) return 1;
    if (found == 0) return 1;

    StepProgress();
    if (!Step(camera.SetCcdPower(0), 100)) return kErrUsbCommunication;

    StepProgress();
    if (const int r = ReadWrittenDefects(); r != 1) return r;
    StepProgress();
    if (const int r = MergeDefectLists(); r != 1) return r;
    StepProgress();
    if (const int r = WriteDefectLists(); r != 1) return r;

    StepProgress();
    if (!Step(camera.SetCcdPower(1), 100)) return kErrUsbCommunication;
    return 1;
}

int CDefectCorrectDlg::ResetFpgainTable() {
    // Unity at every aperture, so that the dark picture shows the sensor's
    // own output.
    std::uint8_t table[kFpgainBytes];
    const std::uint16_t unity = *GainWord(1.0);
    for (std::uint32_t i = 0; i < kFpgainBytes; i += 2) platform::PutBe16(table + i, unity);
    if (!Step(Camera().WriteConfigMemoryVerified(ConfigMemory::RamConfig, MemoryDirection::Write, kFpgainAddress,
                                                 kFpgainBytes, table),
              50))
        return kErrUsbCommunication;
    if (!Step(Camera().MakeFpgainTable(), 50)) return kErrUsbCommunication;
    return 1;
}

int CDefectCorrectDlg::CaptureDarkFrame() {
    CUsbCamera& camera = Camera();
    ImageFileInfo info;
    for (int i = 0; i < 2; ++i) {
        if (!Step(camera.CaptureImageInfo(&info), 100)) return kErrUsbRelease;
    }
    if (camera.CaptureRawImage(m_imageFile.get(), kImageFileBytes, &info) != 1) return kErrUsbRelease;

    // The file came from the camera: a structure that does not hold, or a
    // layout wider than the planes, is a failed capture, not a clean sensor.
    const auto layout = raw::LocateRawData(m_imageFile.get(), info.totalSize);
    if (!layout || layout->Wide()) return kErrUsbRelease;
    // The summed plane is cleared as the frame is stored into it.
    raw::UnpackRawRows(m_imageFile.get() + layout->offset, m_summedPlane.get(), m_copyPlane.get(), m_rowMax.data());

    const int mean = raw::CentreMean(m_copyPlane.get());
    const bool dark = mean <= kCopyCentreLimit;
    Record({.name = "DARK CENTRE", .value = double(mean), .high = double(kCopyCentreLimit), .unit = "LSB",
            .passed = dark});
    if (!dark) {
        AppendLog(platform::Format(kCentreMeanFormat, mean));
        return kErrOutputLevelOver;
    }
    ShowStrings();
    return 1;
}

int CDefectCorrectDlg::DetectWhiteDefects(int& found) {
    AppendLog("画素欠陥検出\r\n");
    const int mean = raw::CentreMean(m_summedPlane.get());
    const bool dark = mean <= kSummedCentreLimit;
    Record({.name = "DARK CENTRE SUM", .value = double(mean), .high = double(kSummedCentreLimit), .unit = "LSB",
            .passed = dark});
    if (!dark) {
        AppendLog(platform::Format(kCentreMeanFormat, mean));
        return kErrOutputLevelOver;
    }

    const std::vector<DetectedPixel> over =
        raw::FindOverLevel(m_summedPlane.get(), m_rowMax.data(), m_judgementLevel, kMaxDetections);
    const std::size_t kept = std::min(over.size(), kMaxDetections);
    m_detected.assign(over.begin(), over.begin() + static_cast<std::ptrdiff_t>(kept));
    std::string lines;
    for (std::size_t i = 0; i < kept; ++i) {
        const DetectedPixel& p = m_detected[i];
        lines += platform::Format("[%d]RAW X= %d, Y= %d ,LEVEL= %4d (JPEG : %d, %d )\r\n", static_cast<int>(i), p.x, p.y,
                                  p.level, defect::JpegColumn(p.x), defect::JpegRow(p.y));
    }
    AppendLog(lines);
    const bool countable = over.size() <= kMaxDetections;
    Record({.name = "DEFECTS DETECTED", .value = double(over.size()), .high = double(kMaxDetections),
            .passed = countable});
    if (!countable) return kErrDefectCountOver;
    found = static_cast<int>(kept);
    return 1;
}

int CDefectCorrectDlg::ReadWrittenDefects() {
    CUsbCamera& camera = Camera();
    AppendLog("\r\n書き込み済み画素欠陥情報\r\n");
    std::uint16_t rCount = 0, bCount = 0;
    if (const int r = defect::ReadDefectCounts(camera, *this, rCount, bCount); r != 1) return r;
    AppendLog(platform::Format(kCountsFormat, rCount, bCount, rCount + bCount));
    // The lists hold 512 entries each: a count above that is no table.
    if (rCount > defect::kMaxListEntries || bCount > defect::kMaxListEntries) return kErrDefectCountOver;

    m_lists = {};
    auto reader = [this](const char* format) {
        return [this, format](int i, const DefectEntry& e) {
            if (defect::CheckEntryWords(e) != defect::EntryFault::None) return kErrDefectWriteValue;
            AppendLog(platform::Format(format, i + 1, e.h, e.v & defect::kAddressMask));
            return 1;
        };
    };
    if (const int r = defect::ReadDefectList(camera, *this, defect::kEntriesAddress, rCount, m_lists.r,
                                             reader("R[%d]  H(X)=%5d  V(Y)=%5d\r\n"));
        r != 1)
        return r;
    AppendLog("\r\n");
    if (const int r = defect::ReadDefectList(camera, *this, defect::kEntriesAddress + defect::kEntryBytes * rCount,
                                             bCount, m_lists.b, reader("B[%d]  H(X)=%5d  V(Y)=%5d\r\n"));
        r != 1)
        return r;
    ShowStrings();
    return 1;
}

int CDefectCorrectDlg::MergeDefectLists() {
    AppendLog("画素欠陥の最終並べ換え結果\r\n");
    defect::AppendDetections(m_lists, m_detected);
    defect::NormaliseList(m_lists.r);
    defect::NormaliseList(m_lists.b);

    std::string text;
    for (defect::Colour c : {defect::Colour::R, defect::Colour::B}) {
        text += c == defect::Colour::R ? "R画素\r\n" : "B画素\r\n";
        const auto& list = m_lists.List(c);
        for (std::size_t i = 0; i < list.size(); ++i)
            text += platform::Format("[%d] H(X)= %d, V(Y)= %d (RAW : %d, %d )\r\n", static_cast<int>(i + 1),
                                     list[i].h, list[i].v & defect::kAddressMask, defect::RawRow(list[i], c),
                                     defect::RawColumn(list[i]));
    }
    AppendLog(text);

    for (auto* list : {&m_lists.r, &m_lists.b})
        if (const int r = defect::MarkPairs(*list); r != 1) return r;
    if (const int r = defect::CheckDefectRuns(m_lists); r != 1) return r;

    text = "書き込みデータ\r\n";
    for (defect::Colour c : {defect::Colour::R, defect::Colour::B}) {
        text += c == defect::Colour::R ? "R\r\n" : "B\r\n";
        const auto& list = m_lists.List(c);
        for (std::size_t i = 0; i < list.size(); ++i)
            text += platform::Format("[%d] H= %04X[h] V= %04X[h]\r\n", static_cast<int>(i + 1), list[i].h, list[i].v);
    }
    AppendLog(text);
    return 1;
}

int CDefectCorrectDlg::WriteDefectLists() {
    // A table that does not fit its space would overwrite what follows it
    // (the counts read from the camera may disagree with its working copy).
    if (m_lists.Total() > MaxWrites()) return kErrDefectCountOver;
    std::vector<std::uint8_t> image = defect::TableImage(m_lists);
    if (!Step(Camera().WriteConfigMemoryVerified(ConfigMemory::CcdEeprom, MemoryDirection::Write, defect::kTableAddress,
                                                 static_cast<std::uint32_t>(image.size()), image.data()),
              50))
        return kErrUsbCommunication;
    return 1;
}
