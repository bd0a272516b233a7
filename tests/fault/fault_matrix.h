// The fault matrix: an operator's action (START with items ticked, a
// baseline button, an action of the pixel defect editor) is run once on a
// clean camera and its driver entry calls are recorded; then the action is
// run again for every call and every kind of fault that can befall that
// call, the fault armed right before it. Each run must report what the
// call's step reports, stop there, leave in the camera's EEPROMs only what
// the clean run had written up to that call, let the camera go and, with
// SAVE ticked, leave the run's log in the result file.
//
// A fault that looks like success (a write not stored, reads that agree on
// wrong data, a completion reported twice, green levels a few percent off)
// has no step to report it: the run must end with an error number, or OK
// with the camera holding what the clean run left, or, after a measurement
// off, what the station adjusted from it. Never OK with a value it did not
// mean.
//
// What a fault at a call must lead to comes from rules per item, keyed by
// the command, its code and address, and the step it belongs to, so that a
// command the station starts sending is covered without a new test.

#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/format.h"
#include "platform/sjis.h"
#include "shell/image_adjust_dlg.h"
#include "sim/simulator.h"
#include "tests/support/bench_operator.h"
#include "tests/support/eeprom_state.h"
#include "tests/support/faulting_entry.h"
#include "tests/support/station_fixture.h"

namespace fault_matrix {

using test_support::EntryCall;
using test_support::LinkFault;

// Where a call stands in the action.
enum class Phase {
    Connect,     // the driver, the device search, the device, INQUIRY
    PreCheck,    // session, the three properties, the checker opened
    Work,        // the items, the acquisition, the editor's action
    ResultFile,  // START with SAVE: the identification read for the result file
    Close,       // checker and session closed
    Disconnect,  // device and driver closed
};

// What a fault at one call must lead to.
struct Expect {
    enum class Kind {
        Fails,    // reported; nothing of a later step is sent
        GoesOn,   // reported, and the operator goes on (a TFT move)
        Retried,  // the design tries again: the action ends as the clean one
        Ignored,  // the design does not look at it: the action ends as the clean one
    };
    Kind kind = Kind::Fails;
    int result = 0;    // Fails, GoesOn: what the action reports (see Action::report)
    std::string box;   // a message box that the station must have shown; empty: none asked for
    std::string why;   // the design's reason, where it is not the step's own number
    std::set<std::string> again;        // Retried: the commands that may be sent again
    std::vector<std::string> then;      // Fails: what may follow, in this order (each may be missing)
    std::size_t upTo = SIZE_MAX;        // Fails: the camera may hold what the clean run wrote up to this call
    bool leftConnected = false;         // Fails: the link is left open by design
    bool file = false;                  // the result file is written (SAVE)
    std::string ngLog;                  // what the run log must hold of the failing window

    static Expect Fails(int result, std::string why = {}) {
        Expect e;
        e.result = result;
        e.why = std::move(why);
        return e;
    }
    static Expect Shows(std::string box, std::string why = {}) {
        Expect e;
        e.box = std::move(box);
        e.why = std::move(why);
        return e;
    }
    static Expect GoesOn(int result, std::string box, std::string why) {
        Expect e = Shows(std::move(box), std::move(why));
        e.kind = Kind::GoesOn;
        e.result = result;
        return e;
    }
    static Expect Retried(std::set<std::string> again, std::string why) {
        Expect e;
        e.kind = Kind::Retried;
        e.again = std::move(again);
        e.why = std::move(why);
        return e;
    }
    static Expect Ignored(std::string why) {
        Expect e;
        e.kind = Kind::Ignored;
        e.why = std::move(why);
        return e;
    }
};

// The clean run, as the rules see it.
struct Walk {
    std::vector<EntryCall> calls;
    std::vector<test_support::EepromState> states;
    std::vector<Phase> phase;
    // For the calls of a picture taken with DCMD_TAKE_PICTURE (up to the
    // session resumed, or the last image block): how many pictures were taken
    // before it since the shooting conditions were last set; -1 elsewhere.
    std::vector<int> shot;

    const EntryCall& operator[](std::size_t k) const { return calls[k]; }
    std::size_t size() const { return calls.size(); }
    // How many calls before call k are so.
    int CountBefore(std::size_t k, const std::function<bool(const EntryCall&)>& is) const {
        return static_cast<int>(std::count_if(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(k), is));
    }
    int CountBefore(std::size_t k, const std::string& name) const {
        return CountBefore(k, [&name](const EntryCall& c) { return c.name == name; });
    }
    // The microcontroller command that a response answers.
    std::string McuOf(std::size_t k) const {
        if (calls[k].name == "DXC_CAMMCU_TESTCMD_SEND") return calls[k].Mcu();
        if (calls[k].name == "DXC_CAMMCU_TESTCMD_RESP" && k > 0) return calls[k - 1].Mcu();
        return "";
    }
    std::uint32_t McuAddressOf(std::size_t k) const {
        return calls[k].name == "DXC_CAMMCU_TESTCMD_RESP" && k > 0 ? calls[k - 1].McuAddress()
                                                                   : calls[k].McuAddress();
    }
};

using Rule = std::function<Expect(const Walk&, std::size_t, LinkFault)>;

// The link's own number for a fault at an exchange: the transport's 14, the
// microcontroller's 9, the malformed property reply's 7.
inline int LinkNumber(LinkFault f) {
    switch (f) {
        case LinkFault::McuAnswer: return 9;
        case LinkFault::PropertyEcho:
        case LinkFault::PropertyLength: return 7;
        default: return 14;
    }
}

inline bool IsShootingCondition(const EntryCall& c) {
    return (c.name == "DCMD_SET_PROPERTY" || c.name == "DCMD_GET_PROPERTY") &&
           (c.Parameter() == 11 || c.Parameter() == 12 || c.Parameter() == 2 || c.Parameter() == 5);
}

// A picture: a failing call ends it with `number`; the camera is polled for
// ready up to 100 times, and only a link that has gone fails the polls for
// good (the picture then fails with 8, which `neverReady` reports).
inline Expect Picture(const EntryCall& c, LinkFault f, int number, int neverReady) {
    if (c.name == "DCMD_DEVICE_READY") {
        if (f == LinkFault::NeverCompletes) return Expect::Fails(neverReady, "the link has gone: never ready");
        return Expect::Retried({"DCMD_DEVICE_READY"}, "the camera is polled up to 100 times for ready");
    }
    return Expect::Fails(number);
}

// An item that measures pictures: 7 for its pictures, 8 for its shooting
// conditions, 3 for every other command.
inline Expect PictureItemRule(const Walk& w, std::size_t k, LinkFault f) {
    if (w.shot[k] >= 0) return Picture(w[k], f, 7, 7);
    if (IsShootingCondition(w[k])) return Expect::Fails(8);
    return Expect::Fails(3);
}

// The CCD EEPROM and TFT EEPROM flash-up windows: every command gives 3.
inline constexpr int kFlashUpWindow = 134;

// The main window's own steps of START, and of each session that a
// baseline button or the editor opens: connect, pre-check, and the
// closing commands.
inline Expect SessionRule(const Walk& w, std::size_t k) {
    const EntryCall& c = w[k];
    switch (w.phase[k]) {
        case Phase::Connect:
            if (c.selector == LVX_SEL_GET_DEVICELIST || c.selector == LVX_SEL_GET_DEVICEINFO)
                return Expect::Retried({"LVX_SEL_GET_DEVICELIST", "LVX_SEL_GET_DEVICEINFO"},
                                       "the device search tries 20 times, 500 ms apart; a device whose identity "
                                       "cannot be read is skipped");
            return Expect::Fails(4);
        case Phase::PreCheck:
            if (c.name == "DCMD_OPEN_SESSION" || c.name == "DCMD_CHANGE_MODE") return Expect::Fails(5);
            return Expect::Fails(3);
        case Phase::Close:
            return Expect::Ignored(c.name == "DXC_CLOSE_CHECKER"
                                       ? "the result stands; the session is not closed after a failed checker close"
                                       : "the result stands");
        case Phase::Disconnect: return Expect::Ignored("DisconnectCamera never fails");
        default: return Expect::Fails(0, "no rule");
    }
}

// An operator's action on the main window.
struct Action {
    std::string what;
    std::string unit;                 // the simulated unit on the bus
    std::function<void()> run;        // the operator's part
    std::function<int()> report;      // what the action reported (START: its result)
    Rule rule;
    bool start = false;               // a START run, with SAVE ticked
    std::string resultFile;           // START, the editor: where SAVE writes, in the working folder
    // The log of the window whose command fails, as the run log must hold it.
    std::map<int, std::string> ngLogs;
    // Image blocks of part 1 that a picture transfer sends: only the first,
    // the middle and the last are made to fail.
    bool sampleImageBlocks = false;
    // A box that reports a failure while the action goes on (a TFT move).
    std::string failureBox;
};

// Whether a kind of fault can befall a call at all.
inline bool Applies(const Walk& w, std::size_t k, LinkFault f) {
    const EntryCall& c = w[k];
    if (!c.Io()) return f == LinkFault::EntryResult;
    switch (f) {
        case LinkFault::McuAnswer: {
            const std::string mcu = w.McuOf(k);
            // A memory read's answer is its data: it carries no status byte.
            return c.name == "DXC_CAMMCU_TESTCMD_RESP" && mcu != "AR" && mcu != "AU" && mcu != "MA" && mcu != "CQ";
        }
        case LinkFault::PropertyEcho:
        case LinkFault::PropertyLength: return c.name == "DCMD_GET_PROPERTY";
        case LinkFault::CorruptedRead:
        case LinkFault::StuckRead: {
            const std::string mcu = w.McuOf(k);
            return c.IsConfigRead() || (c.name == "DXC_CAMMCU_TESTCMD_RESP" && (mcu == "AR" || mcu == "AU"));
        }
        case LinkFault::Unstored: return c.IsWrite();
        case LinkFault::CompletesTwice: {
            // Not a picture's blocks, nor the call before them: the matrix
            // answers blocks from memory, and the camera's read position
            // would not follow one sent on to it.
            if (c.name == "DCMD_GET_IMAGE") return false;
            for (std::size_t j = k + 1; j < w.size(); ++j)
                if (w[j].Io()) return w[j].name != "DCMD_GET_IMAGE";
            return true;
        }
        case LinkFault::ShiftedGreen: return c.name == "DXC_CCD_ADJUST_DATA_IN";
        default: return true;
    }
}

// Whether call k reads back what the write just before it sent, to the same
// memory and address: an item's own check of its write (a verified write's
// read-back is one too).
inline bool ReadsBackWrite(const Walk& w, std::size_t k) {
    const EntryCall& c = w[k];
    if (c.IsConfigRead()) {
        if (k == 0) return false;
        const EntryCall& write = w[k - 1];
        return write.ConfigMemory() == c.ConfigMemory() && write.name.ends_with("_DATAWRITE") &&
               write.Address() == c.Address() && write.Length() == c.Length();
    }
    const std::string mcu = w.McuOf(k);
    if (c.name != "DXC_CAMMCU_TESTCMD_RESP" || (mcu != "AR" && mcu != "AU") || k < 3) return false;
    return w.McuOf(k - 2) == (mcu == "AR" ? "AS" : "AW") && w.McuAddressOf(k - 2) == w.McuAddressOf(k);
}

// The CCD EEPROM flash-up: 3 for every command, but a read that does not
// find what was committed, unpacked again: 15 in the CCD EEPROM, 10 in its
// RAM configuration copies.
inline Expect FlashUpRule(const Walk& w, std::size_t k, LinkFault f) {
    if (f == LinkFault::CorruptedRead && w[k].name == "DXC_CCDEEPROM_DATAREAD")
        return Expect::Fails(15, "the EEPROM does not read as before the update commands");
    if (f == LinkFault::CorruptedRead && w[k].name == "DXC_RAMCONFIG_DATAREAD")
        return Expect::Fails(10, "RAM configuration does not hold the EEPROM's blocks");
    return Expect::Fails(3);
}

// Phases and pictures of a recorded run. `start`: the calls after the last
// one made with an item window open and before the closing commands belong
// to the result file.
inline void Label(Walk& w, bool start) {
    const std::size_t n = w.size();
    w.phase.assign(n, Phase::Work);
    w.shot.assign(n, -1);
    std::size_t i = 0;
    for (; i < n; ++i) {
        w.phase[i] = Phase::Connect;
        if (w[i].name == "INQUIRY") break;
    }
    for (++i; i < n; ++i) {
        w.phase[i] = Phase::PreCheck;
        if (w[i].name == "DXC_OPEN_CHECKER") break;
    }
    std::size_t end = n;
    while (end > 0 && !w[end - 1].Io()) w.phase[--end] = Phase::Disconnect;
    std::size_t close = end;
    while (close > 0 && (w[close - 1].name == "DXC_CLOSE_CHECKER" || w[close - 1].name == "DCMD_CLOSE_SESSION") &&
           w.phase[close - 1] == Phase::Work)
        w.phase[--close] = Phase::Close;
    if (start)
        for (std::size_t j = close; j > 0 && w[j - 1].window == 0 && w.phase[j - 1] == Phase::Work; --j)
            w.phase[j - 1] = Phase::ResultFile;

    int sinceConditions = 0;
    for (std::size_t j = 0; j < n; ++j) {
        if (w[j].name == "DCMD_SET_PROPERTY" && w[j].Parameter() == 11) sinceConditions = 0;
        if (w[j].name != "DCMD_TAKE_PICTURE") continue;
        std::size_t e = j + 1;
        while (e < n && w[e].name == "DCMD_DEVICE_READY") ++e;
        if (e < n && w[e].name == "DCMD_GET_PROPERTY") ++e;
        if (e < n && w[e].name == "DCMD_GET_IMAGE_FILE_INFO") ++e;
        if (e < n && w[e].name == "DXC_CCD_ADJUST_DATA_IN") ++e;
        if (e < n && w[e].name == "DCMD_GET_IMAGE") {
            while (e < n && w[e].name == "DCMD_GET_IMAGE") ++e;
        } else if (e + 2 < n && w[e].name == "DCMD_CLOSE_SESSION" && w[e + 1].name == "DCMD_OPEN_SESSION" &&
                   w[e + 2].name == "DCMD_CHANGE_MODE") {
            e += 3;
        }
        for (std::size_t m = j; m < e; ++m) w.shot[m] = sinceConditions;
        ++sinceConditions;
        j = e - 1;
    }
}

// The calls that a cell makes to fail: every call, but of the part-1 image
// blocks of a picture only the first, the middle and the last.
inline std::vector<std::size_t> CellsOf(const Walk& w, bool sampleImageBlocks) {
    std::vector<std::size_t> cells;
    for (std::size_t k = 0; k < w.size(); ++k) {
        if (sampleImageBlocks && w[k].name == "DCMD_GET_IMAGE" && w[k].Parameter() == 1) {
            std::size_t first = k, last = k;
            while (first > 0 && w[first - 1].name == "DCMD_GET_IMAGE" && w[first - 1].Parameter() == 1) --first;
            while (last + 1 < w.size() && w[last + 1].name == "DCMD_GET_IMAGE" && w[last + 1].Parameter() == 1)
                ++last;
            if (k != first && k != last && k != (first + last) / 2) continue;
        }
        cells.push_back(k);
    }
    return cells;
}

// Whether `part` is `whole` with some of its elements left out.
inline bool IsSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
    std::size_t j = 0;
    for (const std::string& s : whole)
        if (j < part.size() && part[j] == s) ++j;
    return j == part.size();
}

// The camera commands among calls `from` to `to` (the closing of the device
// and the driver left out: every action ends with them).
inline std::vector<std::string> IoNames(const std::vector<EntryCall>& calls, std::size_t from,
                                        std::size_t to = SIZE_MAX) {
    std::vector<std::string> names;
    for (std::size_t i = from; i < calls.size() && i < to; ++i)
        if (calls[i].Io()) names.push_back(calls[i].name);
    return names;
}

class FaultMatrixTest : public test_support::StationTest<> {
protected:
    FaultMatrixTest() : StationTest("fault_matrix_test") {
        std::filesystem::copy_file(test_support::BinDir() / "STD.DAT", "STD.DAT");
    }
    void SetUp() override {
        StationTest::SetUp();
        test_support::FaultingEntry::Bind(host_.VClock());
        test_support::FaultingEntry::RememberPictures();
        bench_.SetOtherWindows([this](ui::Dialog& d, ui::scripted::Script& s) {
            if (d.Id() == 162) s.Click(ui::IDOK);  // the defect correction's yes/no prompt
            if (d.Id() == 157 && tftScript_) tftScript_(s);
        });
        host_.SetCheck(dlg_, CImageAdjustDlg::IDC_SAVE, true);
        dlg_.DispatchCommand(CImageAdjustDlg::IDC_SAVE);
    }
    void TearDown() override {
        test_support::FaultingEntry::Unbind();
        StationTest::TearDown();
    }

    // START with `selection` ticked and SAVE: the run's result.
    Action Start(std::string what, std::string unit, std::uint16_t selection, Rule itemRule) {
        Action a;
        a.what = std::move(what);
        a.unit = std::move(unit);
        a.start = true;
        a.resultFile = sim::FindProfile(a.unit)->identification + ".dat";
        a.run = [this, selection] {
            dlg_.SetSelection(selection);
            host_.Click(dlg_, CImageAdjustDlg::IDC_START);
        };
        a.report = [this] { return dlg_.LastResult(); };
        a.rule = [itemRule](const Walk& w, std::size_t k, LinkFault f) {
            return StartRule(w, k, f, itemRule);
        };
        a.ngLogs = {{146, "感度調整\r\n"},       {140, "ラインクロール調整\r\n"}, {139, "感度比調整\r\n"},
                    {136, "ＢＣ調整\r\n"},       {149, "内蔵ＳＢ調整\r\n"},       {160, "絞り依存性調整\r\n"},
                    {161, "暗時白欠陥画素検出\r\n"}, {kFlashUpWindow, "FLASHｱｯﾌﾟｺﾏﾝﾄﾞ実行中"}};
        return a;
    }

    // The run sequencer's own rules around an item's, and what a failing
    // item leaves for the result file.
    static Expect StartRule(const Walk& w, std::size_t k, LinkFault f, const Rule& itemRule) {
        const EntryCall& c = w[k];
        const std::vector<std::string> closing = {"DXC_CLOSE_CHECKER", "DCMD_CLOSE_SESSION"};
        Expect e;
        switch (w.phase[k]) {
            case Phase::Work: {
                e = c.window == kFlashUpWindow ? FlashUpRule(w, k, f) : itemRule(w, k, f);
                if (e.kind != Expect::Kind::Fails && e.kind != Expect::Kind::GoesOn) break;
                // The run goes on to the result file (which records it) and the closing.
                e.file = true;
                if (e.kind == Expect::Kind::Fails) {
                    e.then = {"DXC_CCD_POWERON", "DXC_CCDEEPROM_DATAREAD", "DXC_CCDEEPROM_DATAREAD",
                              "DXC_CCD_POWEROFF"};
                    e.then.insert(e.then.end(), closing.begin(), closing.end());
                }
                if (f == LinkFault::NeverCompletes) {
                    e.result = 3;
                    e.why = "the link has gone: the result file step cannot switch the CCD on";
                    e.file = false;
                }
                break;
            }
            case Phase::ResultFile:
                // Its failures return at once, leaving checker and session open.
                e = Expect::Fails(3);
                e.file = c.name == "DXC_CCD_POWEROFF";
                break;
            default:
                e = SessionRule(w, k);
                if (e.kind == Expect::Kind::Fails) e.then = closing;
                break;
        }
        return e;
    }

    // Runs `a` on a clean camera, then every cell; reports the cells run and
    // skipped.
    void RunMatrix(const Action& a) {
        SCOPED_TRACE(a.what);
        const auto t0 = std::chrono::steady_clock::now();
        Walk w = RecordClean(a);
        ASSERT_FALSE(w.calls.empty());
        const std::vector<std::size_t> cells = CellsOf(w, a.sampleImageBlocks);
        int run = 0, skipped = 0;
        ended_ = {};
        for (std::size_t k : cells) {
            for (LinkFault f : test_support::kLinkFaults) {
                if (!Applies(w, k, f)) {
                    ++skipped;
                    continue;
                }
                ++run;
                if (test_support::LooksLikeSuccess(f))
                    RunSuccessLookingCell(a, w, k, f);
                else
                    RunCell(a, w, k, f);
                if (HasFatalFailure()) return;
            }
        }
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("[ matrix   ] %s: %zu calls (%zu made to fail) x %zu faults: %d cells run, %d skipped, %.1f s; "
                    "of those looking like success %d ended with an error, %d OK as the clean run, %d OK "
                    "adjusted from what was measured\n",
                    a.what.c_str(), w.size(), cells.size(), std::size(test_support::kLinkFaults), run, skipped, s,
                    ended_.error, ended_.clean, ended_.measured);
    }

    // The clean run: its calls, its result and what it leaves.
    Walk RecordClean(const Action& a) {
        PrepareCamera(a);
        test_support::FaultingEntry::Begin(true, [this] { return OpenWindow(); });
        a.run();
        Walk w;
        w.calls = test_support::FaultingEntry::Calls();
        w.states = test_support::FaultingEntry::States();
        Label(w, a.start);
        clean_ = Outcome(a);
        EXPECT_EQ(clean_.report, 1) << "the clean run must succeed\n" << dlg_.m_log;
        EXPECT_TRUE(clean_.disconnected);
        return w;
    }

    struct Seen {
        int report = 0;
        std::vector<std::string> boxes;
        bool disconnected = false;
        test_support::EepromState memories;
        bool fileWritten = false;
        std::string file;
        std::string log;
    };
    Seen Outcome(const Action& a) {
        Seen s;
        s.report = a.report();
        for (const auto& b : host_.MessageBoxes()) s.boxes.push_back(b.text);
        s.disconnected = (CUsbCamera::LinkFlags() & 0x04) == 0 && DeviceClosed();
        s.memories = test_support::EepromState::Of(sim::Sim().FirstCamera());
        s.fileWritten = !a.resultFile.empty() && std::filesystem::exists(a.resultFile);
        if (s.fileWritten) s.file = test_support::ReadFile(a.resultFile);
        s.log = LogOf(a);
        return s;
    }

    // The log that SAVE writes: the run log, or the editor's.
    virtual std::string LogOf(const Action&) { return dlg_.m_log; }

    // Whether the device that the action opened last was closed again, by
    // itself or with the driver.
    static bool DeviceClosed() {
        const auto& calls = test_support::FaultingEntry::Calls();
        bool open = false;
        for (const EntryCall& c : calls) {
            if (c.selector == LVX_SEL_OPEN_DEVICE && c.result == 0) open = true;
            if ((c.selector == LVX_SEL_CLOSE_DEVICE || c.selector == LVX_SEL_CLOSE_DRIVER) && c.result == 0)
                open = false;
        }
        return !open;
    }

    void PrepareCamera(const Action& a) {
        sim::Sim().Reset();
        sim::Sim().ClearDevices();
        ASSERT_NE(sim::Sim().AddCamera(a.unit), 0u) << sim::Sim().LastError();
        HoldOtherValues(sim::Sim().FirstCamera());
        if (!a.resultFile.empty()) std::filesystem::remove(a.resultFile);
        host_.ClearRecords();
        if (prepare_) prepare_();
    }

    // The camera holds other values than the items write where an item
    // writes them before it uses them, so that a write it does not store
    // leaves something to see: the battery check's values, the flash values'
    // working copies, and the line crawl correction, the ISO1600 step word
    // and the unity gains in RAM configuration (with the CCD EEPROM bytes
    // they are unpacked from, 152 below).
    static void HoldOtherValues(sim::Camera& camera) {
        using sim::Memory;
        std::vector<std::uint8_t>& eeprom = camera.Mem(Memory::McuEeprom);
        for (std::size_t a : {2, 3, 259, 260, 261, 262}) {
            eeprom[a] ^= 0x5A;
            camera.Mem(Memory::McuDram)[a + 1024] ^= 0x5A;
        }
        platform::PutBe16(&eeprom[sim::kMcuChecksumEnd], sim::McuChecksum(eeprom));
        for (std::size_t a : {1267, 1268}) camera.Mem(Memory::McuDram)[a] ^= 0x30;
        for (std::size_t a : {314, 315, 318, 319, 322, 323, 437, 1553})
            for (auto [memory, at] : {std::pair{Memory::RamConfig, a}, std::pair{Memory::CcdEeprom, a - 152},
                                      std::pair{Memory::CcdEepromFlash, a - 152}})
                camera.Mem(memory)[at] ^= 0x18;
    }

    int OpenWindow() const {
        static constexpr int kWindows[] = {146, 140, 139, 136, 149, 160, 161, kFlashUpWindow, 157, 163};
        for (int id : kWindows)
            if (host_.FindOpen(id)) return id;
        return 0;
    }

    // The rule's expectation, with what follows from the action as a whole.
    Expect ExpectationAt(const Action& a, const Walk& w, std::size_t k, LinkFault f) const {
        const EntryCall& target = w[k];
        Expect e = a.rule(w, k, f);
        if (e.kind == Expect::Kind::Retried || e.kind == Expect::Kind::Ignored) e.file = clean_.fileWritten;
        if (a.start && e.kind == Expect::Kind::Fails && e.file && a.ngLogs.count(target.window))
            e.ngLog = "NG\r\n" + a.ngLogs.at(target.window);
        // A read that another read of the same bytes must confirm goes on
        // up to that one, which finds the difference.
        if (f == LinkFault::CorruptedRead && e.kind == Expect::Kind::Fails && target.IsConfigRead())
            for (std::size_t j = k + 1; j < w.size(); ++j) {
                if (w[j].name == target.name && w[j].Address() <= target.Address() &&
                    w[j].Address() + w[j].Length() >= target.Address() + target.Length()) {
                    const std::vector<std::string> upTo = IoNames(w.calls, k + 1, j + 1);
                    e.then.insert(e.then.begin(), upTo.begin(), upTo.end());
                    e.upTo = j;
                    break;
                }
            }
        return e;
    }

    void RunCell(const Action& a, const Walk& w, std::size_t k, LinkFault f) {
        const EntryCall& target = w[k];
        const Expect e = ExpectationAt(a, w, k, f);
        SCOPED_TRACE("call " + std::to_string(k) + " " + target.name + " (" + Describe(target) + "), " +
                     test_support::Name(f) + (e.why.empty() ? "" : ": " + e.why));
        PrepareCamera(a);
        test_support::FaultingEntry::Begin(false, [this] { return OpenWindow(); });
        // A corrupted memory read of the microcontroller is decided as the
        // camera takes the command that asks for it.
        const bool atCommand = f == LinkFault::CorruptedRead && target.name == "DXC_CAMMCU_TESTCMD_RESP";
        test_support::FaultingEntry::Arm(atCommand ? k - 1 : k, f);
        a.run();
        const Seen s = Outcome(a);
        const std::vector<EntryCall>& calls = test_support::FaultingEntry::Calls();

        // The fault met its call: everything before it went as in the clean run.
        ASSERT_GT(calls.size(), k);
        for (std::size_t i = 0; i <= k; ++i)
            ASSERT_EQ(calls[i].name, w[i].name) << "call " << i << " differs from the clean run";

        const std::vector<std::string> cleanRest = IoNames(w.calls, k + 1), rest = IoNames(calls, k + 1);
        switch (e.kind) {
            case Expect::Kind::Fails:
            case Expect::Kind::GoesOn: {
                EXPECT_EQ(s.report, e.result);
                if (!e.box.empty()) {
                    EXPECT_NE(std::find(s.boxes.begin(), s.boxes.end(), e.box), s.boxes.end()) << "no box " << e.box;
                }
                const std::vector<std::string>& allowed = e.kind == Expect::Kind::Fails ? e.then : cleanRest;
                EXPECT_TRUE(IsSubsequence(rest, allowed)) << "sent after it: " << Join(rest);
                // What the clean run had written before the call; with the
                // call itself where the camera carried it out.
                const bool before = s.memories == w.states[target.before];
                const bool after = test_support::CameraCarriesOut(f) && s.memories == w.states[target.after];
                const bool upTo = e.upTo != SIZE_MAX && s.memories == w.states[w[e.upTo].before];
                EXPECT_TRUE(before || after || upTo)
                    << "the camera holds what the clean run had not written there: "
                    << test_support::FirstDifference(w.states[target.before], s.memories);
                EXPECT_EQ(s.disconnected, !(e.leftConnected && f != LinkFault::NeverCompletes));
                break;
            }
            case Expect::Kind::Retried:
            case Expect::Kind::Ignored: {
                EXPECT_EQ(s.report, clean_.report);
                EXPECT_EQ(s.boxes, clean_.boxes);
                const bool sent = e.kind == Expect::Kind::Retried ? WithRepeats(cleanRest, rest, e.again)
                                                                  : IsSubsequence(rest, cleanRest);
                EXPECT_TRUE(sent) << "sent after it: " << Join(rest);
                EXPECT_TRUE(s.memories == clean_.memories)
                    << test_support::FirstDifference(clean_.memories, s.memories);
                EXPECT_TRUE(s.disconnected);
                break;
            }
        }
        CheckResultFile(a, e, s);
        ReleaseLink();
    }

    // A fault that looks like success: the action ends with an error, or OK
    // with the camera as the clean run left it; after a green level read
    // 4 % high, OK also with what the station adjusted from it.
    void RunSuccessLookingCell(const Action& a, const Walk& w, std::size_t k, LinkFault f) {
        SCOPED_TRACE("call " + std::to_string(k) + " " + w[k].name + " (" + Describe(w[k]) + "), " +
                     test_support::Name(f));
        PrepareCamera(a);
        test_support::FaultingEntry::Begin(false, [this] { return OpenWindow(); });
        // A read of the microcontroller's memory is answered as the camera takes the command that asks for it.
        const bool atCommand = f == LinkFault::StuckRead && w[k].name == "DXC_CAMMCU_TESTCMD_RESP";
        test_support::FaultingEntry::Arm(atCommand ? k - 1 : k, f);
        a.run();
        const Seen s = Outcome(a);
        const std::vector<EntryCall>& calls = test_support::FaultingEntry::Calls();
        ASSERT_GT(calls.size(), k);
        for (std::size_t i = 0; i <= k; ++i)
            ASSERT_EQ(calls[i].name, w[i].name) << "call " << i << " differs from the clean run";

        const bool told = !a.failureBox.empty() &&
                          std::find(s.boxes.begin(), s.boxes.end(), a.failureBox) != s.boxes.end();
        if (s.report != 1 || told) {
            ++ended_.error;
            if (a.start) {
                EXPECT_TRUE(s.disconnected);
            }
        } else {
            EXPECT_TRUE(s.disconnected);
            if (s.memories == clean_.memories) {
                ++ended_.clean;
            } else if (f == LinkFault::ShiftedGreen) {
                // Only the values the item adjusts may differ.
                ++ended_.measured;
                EXPECT_EQ(test_support::FirstDifference(clean_.memories, s.memories, &w.states.front()), "");
            } else {
                ADD_FAILURE() << "OK, and the camera holds what the clean run did not leave: "
                              << test_support::FirstDifference(clean_.memories, s.memories);
            }
        }
        Expect e;
        e.file = s.report == 1 || s.fileWritten;  // an OK run is in the result file
        CheckResultFile(a, e, s);
        ReleaseLink();
    }

    void CheckResultFile(const Action& a, const Expect& e, const Seen& s) {
        if (a.resultFile.empty()) return;
        EXPECT_EQ(s.fileWritten, e.file);
        if (!s.fileWritten) return;
        EXPECT_EQ(s.file, platform::ToShiftJis(s.log));
        const platform::LocalDate d = host_.VClock().Today();
        EXPECT_TRUE(s.log.ends_with(platform::Format("%d年%d月%d日\r\n", d.year, d.month, d.day))) << s.log;
        if (!e.ngLog.empty()) {
            // The failing window's log, and no window after it.
            const std::size_t at = s.log.rfind(e.ngLog);
            EXPECT_NE(at, std::string::npos) << s.log;
            EXPECT_EQ(s.log.find("OK\r\n", at), std::string::npos) << s.log;
        }
    }

    // The next cell finds the link let go, whatever this one left.
    void ReleaseLink() { dlg_.m_pCamera->DisconnectCamera(); }

    static std::string Describe(const EntryCall& c) {
        if (!c.Io()) return "";
        if (c.cdb.size() == 16 && (c.cdb[0] == 0xFD || c.cdb[0] == 0xFE || c.cdb[0] == 0xFC))
            return platform::Format("code %04X address %u length %u", c.Code(), c.Address(), c.Length()) +
                   (c.Mcu().empty() ? "" : " " + c.Mcu());
        return platform::Format("parameter %u", c.Parameter());
    }
    static std::string Join(const std::vector<std::string>& names) {
        std::string s;
        for (const auto& n : names) s += n + " ";
        return s;
    }
    // Whether `seen` is `clean` with commands of `again` sent in addition.
    static bool WithRepeats(const std::vector<std::string>& clean, const std::vector<std::string>& seen,
                            const std::set<std::string>& again) {
        std::size_t j = 0;
        for (const std::string& s : seen) {
            if (j < clean.size() && clean[j] == s)
                ++j;
            else if (!again.count(s))
                return false;
        }
        return j == clean.size();
    }

    test_support::BenchOperator bench_{host_};
    std::function<void(ui::scripted::Script&)> tftScript_;  // how the TFT position window is operated
    std::function<void()> prepare_;                          // before each run, after the camera is on the bus
    Seen clean_;
    struct {
        int error = 0, clean = 0, measured = 0;
    } ended_;  // how the cells of faults that look like success ended
};

}  // namespace fault_matrix
