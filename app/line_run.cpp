#include "app/line_run.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <iomanip>
#include <map>
#include <ostream>

#include "app/bench_operator_hook.h"
#include "app/command_line.h"
#include "sim/operator.h"
#include "camera/usb_camera.h"
#include "platform/clock.h"
#include "res/resource.h"
#include "shell/image_adjust_dlg.h"
#include "ui/scripted/scripted_host.h"

namespace line {

namespace {

using Item = CImageAdjustDlg::Item;

struct ItemName {
    const char* name;
    int box;
    Item item;
    const char* label;
};

constexpr ItemName kItems[] = {
    {"ccd-flashup", CImageAdjustDlg::IDC_CCD_FLASH_UP, Item::CcdFlashUp, "CCD EEPROM flash-up"},
    {"tft-flashup", CImageAdjustDlg::IDC_TFT_FLASH_UP, Item::TftFlashUp, "TFT EEPROM flash-up"},
    {"sensitivity", CImageAdjustDlg::IDC_SENSITIVITY, Item::Sensitivity, "sensitivity"},
    {"line-crawl", CImageAdjustDlg::IDC_LINE_CRAWL, Item::LineCrawl, "line crawl"},
    {"ratio", CImageAdjustDlg::IDC_SENS_RATIO, Item::SensRatio, "sensitivity ratio"},
    {"aperture", CImageAdjustDlg::IDC_APERTURE, Item::Aperture, "aperture dependence"},
    {"battery", CImageAdjustDlg::IDC_BATTERY_CHECK, Item::BatteryCheck, "battery check"},
    {"flash", CImageAdjustDlg::IDC_INSIDE_SB, Item::InsideSb, "built-in flash"},
    {"tft-position", CImageAdjustDlg::IDC_TFT_POSITION, Item::TftPosition, "TFT display position"},
    {"defect", CImageAdjustDlg::IDC_DEFECT_CORRECT, Item::DefectCorrect, "CCD defect correction"},
};

const ItemName* FindItem(const std::string& name) {
    for (const auto& item : kItems)
        if (name == item.name) return &item;
    return nullptr;
}

const char* ItemLabel(Item item) {
    for (const auto& row : kItems)
        if (row.item == item) return row.label;
    return "?";
}

// The bits of the selection word that some item tests.
std::uint16_t ItemBits() {
    std::uint16_t bits = 0;
    for (const auto& row : CImageAdjustDlg::ItemTable()) bits |= row.bits;
    return bits;
}

// A number as the line run takes it: decimal, or hexadecimal after 0x. No
// sign, no blank, and no leading zero, which other tools read as octal.
std::optional<unsigned long> ParseNumber(const std::string& s) {
    const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    if (s.empty() || (!hex && s.size() > 1 && s[0] == '0')) return std::nullopt;
    const char* first = s.data() + (hex ? 2 : 0);
    const char* last = s.data() + s.size();
    unsigned long v = 0;
    auto [end, ec] = std::from_chars(first, last, v, hex ? 16 : 10);
    if (ec != std::errc() || end != last) return std::nullopt;
    return v;
}

// Whether a text was meant as a number: blanks and a sign aside, it starts
// with a digit.
bool LooksLikeNumber(const std::string& s) {
    std::size_t i = s.find_first_not_of(" \t");
    if (i != std::string::npos && (s[i] == '+' || s[i] == '-')) ++i;
    return i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]));
}

// A selection word selects at least one item and nothing else: a word of no
// item bits would run nothing and still end as a passed run.
std::optional<std::uint16_t> ParseSelectionWord(const std::string& s, std::string* error = nullptr) {
    const auto v = ParseNumber(s);
    if (!v) {
        if (error)
            *error = "\"" + s + "\" is not a selection word: write it in decimal or as 0x hex, without sign, blanks or "
                     "leading zeros";
        return std::nullopt;
    }
    if (*v == 0 || *v > 0xFFFF || (*v & ~static_cast<unsigned long>(ItemBits())) != 0) {
        if (error) {
            char bits[16];
            std::snprintf(bits, sizeof bits, "0x%04X", ItemBits());
            *error = "selection word \"" + s + "\" must select items and only items (bits of " + bits + ")";
        }
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*v);
}

constexpr std::uint16_t kBatteryCheckBit = 0x0010;

// A message of the station's, with its line ends as this program prints them.
std::string Lines(std::string text) {
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// The main window, with the time of each item taken as it runs.
class LineMainDlg : public CImageAdjustDlg {
public:
    using CImageAdjustDlg::CImageAdjustDlg;

    struct Timing {
        Item item;
        std::int64_t ms;
        int result;
    };
    std::vector<Timing> timings;

protected:
    int RunItem(Item item) override {
        const std::int64_t start = GetHost().Clock().NowMs();
        int result = CImageAdjustDlg::RunItem(item);
        timings.push_back({item, GetHost().Clock().NowMs() - start, result});
        return result;
    }
};

// The simulator's operator at the bench, and the pace of time that goes with
// the driver library: virtual for the simulated camera, real for any other.
class LineBench : public app::BenchOperatorHook {
public:
    LineBench(ui::Host& host, platform::VirtualClock& clock) : BenchOperatorHook(host), m_clock(clock) {}

    void DriverLibraryLoaded(platform::SharedLibrary& library) override {
        BenchOperatorHook::DriverLibraryLoaded(library);
        m_clock.SetPace(Bench() ? platform::VirtualClock::Pace::Instant : platform::VirtualClock::Pace::RealTime);
    }

private:
    platform::VirtualClock& m_clock;
};

struct PlannedCamera {
    std::string unit;            // none without the simulated bench
    std::string identification;  // likewise
};

// The cameras of the run, every unit resolved and every identification a
// camera's own (two cameras of one identification would write one result
// file); nullopt and a message in `error` otherwise. Without the simulated
// bench, the one camera is whatever is on the bus.
std::optional<std::vector<PlannedCamera>> PlanCameras(const Options& options, const SimBenchApi* bench,
                                                      std::string* error) {
    if (!bench) return std::vector<PlannedCamera>(1);
    std::vector<std::string> units = options.units;
    if (units.empty()) units.push_back("nominal");

    std::map<std::string, std::string> baseOf;
    for (const std::string& unit : units) {
        if (baseOf.count(unit)) continue;
        const char* base = bench->ProfileIdentification(unit.c_str());
        if (!base) {
            *error = bench->LastError();
            return std::nullopt;
        }
        baseOf[unit] = base;
    }

    const int count = options.cameras > 0 ? options.cameras : static_cast<int>(units.size());
    std::vector<PlannedCamera> plan;
    std::map<std::string, int> countOf;   // cameras of each unit so far
    std::map<std::string, int> cameraOf;  // the camera (1-based) of each identification
    for (int k = 0; k < count; ++k) {
        const std::string& unit = units[static_cast<std::size_t>(k) % units.size()];
        const std::string& base = baseOf[unit];
        const auto id = CountedIdentification(base, countOf[unit]++);
        if (!id) {
            const bool digits = !base.empty() && std::isdigit(static_cast<unsigned char>(base.back()));
            *error = "camera " + std::to_string(k + 1) + " cannot have an identification of its own: " +
                     (digits ? "the trailing digits of " + base + " do not count that far"
                             : base + " does not end in digits to count up");
            return std::nullopt;
        }
        const auto [earlier, fresh] = cameraOf.emplace(*id, k + 1);
        if (!fresh) {
            *error = "cameras " + std::to_string(earlier->second) + " and " + std::to_string(k + 1) +
                     " would both be identified as " + *id + ", and write one result file";
            return std::nullopt;
        }
        plan.push_back({unit, *id});
    }
    return plan;
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& words, std::string* error) {
    const std::vector<std::string> args =
        cli::SplitValueOptions(words, {"--items", "--unit", "--cameras", "--history", "--station"});
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                *error = a + " needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--station") {
            auto v = value();
            if (!v) return std::nullopt;
            if (v->empty()) {
                *error = "--station needs a folder";
                return std::nullopt;
            }
            o.station = *v;
        } else if (a == "--save") {
            o.save = true;
        } else if (a == "--history") {
            auto v = value();
            if (!v) return std::nullopt;
            if (v->empty()) {
                *error = "--history needs a file name";
                return std::nullopt;
            }
            o.history = *v;
        } else if (a == "--items") {
            auto v = value();
            if (!v) return std::nullopt;
            for (const std::string& name : cli::SplitList(*v)) {
                if (!FindItem(name)) {
                    if (!LooksLikeNumber(name)) {
                        *error = "unknown item \"" + name + "\"";
                        return std::nullopt;
                    }
                    if (!ParseSelectionWord(name, error)) return std::nullopt;
                }
                o.items.push_back(name);
            }
        } else if (a == "--unit") {
            auto v = value();
            if (!v) return std::nullopt;
            o.units.push_back(*v);
        } else if (a == "--cameras") {
            auto v = value();
            if (!v) return std::nullopt;
            const auto n = ParseNumber(*v);
            if (!n || *n < 1 || *n > 1000) {
                *error = "--cameras takes a number from 1 to 1000 (decimal or 0x hex)";
                return std::nullopt;
            }
            o.cameras = static_cast<int>(*n);
        } else {
            *error = "unknown option \"" + a + "\"";
            return std::nullopt;
        }
    }
    if (!o.help && !o.version && o.items.empty()) {
        *error = "--items is required";
        return std::nullopt;
    }
    return o;
}

void PrintUsage(std::ostream& out) {
    out << "Usage: imageadjust-line --items LIST [OPTION]...\n"
           "\n"
           "Runs the station's main window headless, with an operator who follows\n"
           "every prompt, over one or more cameras, and prints each camera's log,\n"
           "status line and the time each item took: virtual time on the simulated\n"
           "camera, real time with any other driver library. STD.DAT is read from\n"
           "the station folder; result files are written there as by the station.\n"
           "Options take their value as the next word or after =: --items=battery.\n"
           "\n"
           "  --items LIST   items, comma-separated, ticked in this order:\n"
           "                 ccd-flashup tft-flashup sensitivity line-crawl ratio aperture\n"
           "                 battery flash tft-position defect, or a selection word\n"
           "                 (decimal or 0x hex: 0x1300) whose items join those before it\n"
           "  --save         tick SAVE: write the result file of each camera\n"
           "  --unit NAME    a unit profile of the simulator (a name or a profile file);\n"
           "                 repeat for several cameras\n"
           "  --cameras N    N cameras of the given units in turn, each with its own\n"
           "                 identification (the profile's, trailing digits counted up)\n"
           "  --history FILE\n"
           "                 the SQLite history the runs go into (default: as HISTORY.INI\n"
           "                 says, HISTORY.DB in the station folder without it)\n"
           "  --station DIR  the station folder (default: $IMAGEADJUST_STATION, else the\n"
           "                 working folder when it holds STD.DAT, else\n"
           "                 ~/.local/share/imageadjust); a new or empty one gets the\n"
           "                 sample STD.DAT and HISTORY.INI\n"
           "  --version      the version, the build's revision and the driver library\n"
           "  --help         this text\n"
           "\n"
           "Exit status: 0 when every camera passed, 2 for a wrong command line,\n"
           "units that cannot be had, standards (STD.DAT) that cannot be used, or the\n"
           "battery check without the simulated bench, 74 when a run could be neither\n"
           "stored in the history nor queued for it, else the first failing camera's\n"
           "error number (1 when it does not fit).\n";
}

std::optional<std::string> CountedIdentification(const std::string& base, int n) {
    std::string id = base;
    // Count up the trailing digits, carrying as on an odometer; a carry out
    // of the first of them would start again from zero.
    for (int step = 0; step < n; ++step) {
        std::size_t i = id.size();
        while (i > 0 && id[i - 1] == '9') id[--i] = '0';
        if (i == 0 || !std::isdigit(static_cast<unsigned char>(id[i - 1]))) return std::nullopt;
        ++id[i - 1];
    }
    return id;
}

int Run(const Options& options, std::ostream& out, std::ostream& err) {
    // Real time until the driver library proves to be the simulator.
    platform::VirtualClock clock(platform::RealClock().Today(), platform::VirtualClock::Pace::RealTime);
    ui::scripted::ScriptedHost host(clock);
    LineBench bench(host, clock);

    LineMainDlg dlg(host);
    dlg.SetDriverLibraryObserver(&bench);
    if (!options.history.empty()) {
        history::HistorySettings settings;
        settings.sqliteFile = options.history;
        settings.queue = options.history + ".queue";
        dlg.UseHistory(settings);
    }
    dlg.Create();
    // However the run ends, the window closes as the station's does, which
    // frees the driver library.
    struct CloseWindow {
        ui::scripted::ScriptedHost& host;
        LineMainDlg& dlg;
        ~CloseWindow() {
            host.Close(dlg);
            dlg.DestroyWindow();
        }
    } closeWindow{host, dlg};
    for (const auto& box : host.MessageBoxes()) err << box.text << "\n";

    auto refuse = [&err](const std::string& message) {
        err << "imageadjust-line: " << message << "\n";
        return 2;
    };
    const SimBenchApi* api = bench.Bench();
    if (!api && (!options.units.empty() || options.cameras > 0))
        return refuse("--unit and --cameras choose simulated units, but the driver library has no simulated bench");
    std::string error;
    const auto cameras = PlanCameras(options, api, &error);
    if (!cameras) return refuse(error);

    // The operator at the bench follows the prompts; here are the windows
    // that want hands.
    host.SetDefaultScript([&](ui::Dialog& d, ui::scripted::Script& s) {
        using Input = res::CurrentInputIds;
        using Tft = res::TftPositionIds;
        switch (d.Id()) {
            case Input::IDD:  // the current input: type what the ammeter shows, confirm
                if (!bench.Operator()) break;
                s.Do([&](ui::Dialog& input) {
                    if (auto typed =
                            bench.Operator()->Answer(input.GetWindowText(), input.GetDlgItemText(Input::IDC_PROMPT))) {
                        host.Type(input, Input::IDC_CURRENT, *typed);
                        host.Click(input, ui::IDOK);
                    }
                });
                break;
            case Tft::IDD:  // TFT position: choose NTSC, look, confirm
                s.Click(Tft::IDC_NTSC).Wait(500).Click(Tft::IDC_FINISH);
                break;
            case res::MessageBoxIds::IDD:  // the yes/no prompt
                s.Click(ui::IDOK);
                break;
            default:
                break;
        }
    });

    for (const std::string& item : options.items) {
        if (const ItemName* named = FindItem(item)) {
            host.SetCheck(dlg, named->box, true);
            dlg.DispatchCommand(named->box);
        } else {
            // A word adds its items to those named before it.
            dlg.SetSelection(static_cast<std::uint16_t>(dlg.m_itemFlags | *ParseSelectionWord(item)));
        }
    }
    if (options.save) {
        host.SetCheck(dlg, CImageAdjustDlg::IDC_SAVE, true);
        dlg.DispatchCommand(CImageAdjustDlg::IDC_SAVE);
    }
    // The battery check stores the currents a person reads from the
    // ammeter; only the simulator's operator can read one here.
    if (!api && (dlg.m_itemFlags & kBatteryCheckBit))
        return refuse("the battery check needs the ammeter's readings typed in, and with a driver library without the "
                      "simulated bench no one is there to read them: run it at the station");
    if (const std::string fault = dlg.StandardsFault(); !fault.empty())
        return refuse("the standards cannot be used, so no camera is run:\n" + Lines(fault));

    int exitStatus = 0;
    const std::size_t count = cameras->size();
    for (std::size_t k = 0; k < count; ++k) {
        const PlannedCamera& camera = (*cameras)[k];
        std::string heading = "=== camera " + std::to_string(k + 1) + " of " + std::to_string(count);
        if (api) {
            api->ClearDevices();
            if (api->AddCamera(camera.unit.c_str(), camera.identification.c_str()) != 0)
                return refuse(api->LastError());
            heading += ": unit " + camera.unit + ", identification " + camera.identification;
        }
        out << heading << "\n";

        dlg.timings.clear();
        host.Click(dlg, CImageAdjustDlg::IDC_START);

        out << dlg.m_log;
        if (!dlg.m_log.empty() && dlg.m_log.back() != '\n') out << "\n";
        out << "status: " << dlg.m_comment << "\n";
        for (const auto& t : dlg.timings)
            out << "  " << std::left << std::setw(24) << ItemLabel(t.item) << std::right << std::fixed
                << std::setprecision(1) << std::setw(7) << t.ms / 1000.0 << " s  "
                << (t.result == 1 ? "OK" : "NG") << "\n";
        const int result = dlg.LastResult();
        if (result != 1 && exitStatus == 0) exitStatus = (result >= 2 && result <= 255) ? result : 1;
    }
    // A run that is in no history and no queue is the file failure of the line.
    if (dlg.LostRuns() > 0) {
        err << "imageadjust-line: " << dlg.LostRuns() << " run(s) could be neither stored in the history nor queued\n";
        return 74;
    }
    return exitStatus;
}

}  // namespace line
