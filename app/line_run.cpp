#include "app/line_run.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <map>
#include <memory>
#include <ostream>

#include "camera/usb_camera.h"
#include "platform/clock.h"
#include "platform/library.h"
#include "shell/image_adjust_dlg.h"
#include "sim/bench_api.h"
#include "sim/operator.h"
#include "ui/scripted/scripted_host.h"

namespace line {

namespace {

struct ItemName {
    const char* name;
    int box;
    const char* label;
};

constexpr ItemName kItems[] = {
    {"ccd-flashup", CImageAdjustDlg::IDC_CCD_FLASH_UP, "CCD EEPROM flash-up"},
    {"tft-flashup", CImageAdjustDlg::IDC_TFT_FLASH_UP, "TFT EEPROM flash-up"},
    {"sensitivity", CImageAdjustDlg::IDC_SENSITIVITY, "sensitivity"},
    {"line-crawl", CImageAdjustDlg::IDC_LINE_CRAWL, "line crawl"},
    {"ratio", CImageAdjustDlg::IDC_SENS_RATIO, "sensitivity ratio"},
    {"aperture", CImageAdjustDlg::IDC_APERTURE, "aperture dependence"},
    {"battery", CImageAdjustDlg::IDC_BATTERY_CHECK, "battery check"},
    {"flash", CImageAdjustDlg::IDC_INSIDE_SB, "built-in flash"},
    {"tft-position", CImageAdjustDlg::IDC_TFT_POSITION, "TFT display position"},
    {"defect", CImageAdjustDlg::IDC_DEFECT_CORRECT, "CCD defect correction"},
};

const char* ItemLabel(CImageAdjustDlg::Item item) {
    using I = CImageAdjustDlg::Item;
    switch (item) {
        case I::Sensitivity: return "sensitivity";
        case I::LineCrawl: return "line crawl";
        case I::SensRatio: return "sensitivity ratio";
        case I::BatteryCheck: return "battery check";
        case I::InsideSb: return "built-in flash";
        case I::Aperture: return "aperture dependence";
        case I::DefectCorrect: return "CCD defect correction";
        case I::CcdFlashUp: return "CCD EEPROM flash-up";
        case I::TftPosition: return "TFT display position";
        case I::TftFlashUp: return "TFT EEPROM flash-up";
    }
    return "?";
}

// The bits of the selection word that some item tests.
std::uint16_t ItemBits() {
    std::uint16_t bits = 0;
    for (const auto& row : CImageAdjustDlg::ItemTable()) bits |= row.bits;
    return bits;
}

// A selection word that selects at least one item and nothing else: a word
// of no item bits would run nothing and still end as a passed run.
std::optional<std::uint16_t> ParseSelectionWord(const std::string& s) {
    if (s.empty() || !std::isdigit(static_cast<unsigned char>(s[0]))) return std::nullopt;
    char* end = nullptr;
    unsigned long v = std::strtoul(s.c_str(), &end, 0);
    if (*end != '\0' || v == 0 || v > 0xFFFF || (v & ~static_cast<unsigned long>(ItemBits())) != 0)
        return std::nullopt;
    return static_cast<std::uint16_t>(v);
}

const ItemName* FindItem(const std::string& name) {
    for (const auto& item : kItems)
        if (name == item.name) return &item;
    return nullptr;
}

// The main window, with the virtual time of each item taken as it runs.
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

const SimBenchApi* FindBenchApi() {
    platform::SharedLibrary* lib = CUsbCamera::DriverLibrary();
    if (!lib) return nullptr;
    auto get = lib->Function<SimGetBenchApiFn>(SIM_BENCH_API_ENTRY);
    return get ? get(SIM_BENCH_API_VERSION) : nullptr;
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string* error) {
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
        } else if (a == "--save") {
            o.save = true;
        } else if (a == "--items") {
            auto v = value();
            if (!v) return std::nullopt;
            std::size_t start = 0;
            while (start <= v->size()) {
                std::size_t comma = v->find(',', start);
                std::string name = v->substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                if (!FindItem(name) && !ParseSelectionWord(name)) {
                    if (!name.empty() && std::isdigit(static_cast<unsigned char>(name[0]))) {
                        char bits[16];
                        std::snprintf(bits, sizeof bits, "0x%04X", ItemBits());
                        *error = "selection word \"" + name + "\" must select items and only items (bits of " +
                                 bits + ")";
                    } else {
                        *error = "unknown item \"" + name + "\"";
                    }
                    return std::nullopt;
                }
                o.items.push_back(name);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        } else if (a == "--unit") {
            auto v = value();
            if (!v) return std::nullopt;
            o.units.push_back(*v);
        } else if (a == "--cameras") {
            auto v = value();
            if (!v) return std::nullopt;
            char* end = nullptr;
            long n = std::strtol(v->c_str(), &end, 10);
            if (*end != '\0' || n < 1 || n > 1000) {
                *error = "--cameras takes a number from 1 to 1000";
                return std::nullopt;
            }
            o.cameras = static_cast<int>(n);
        } else {
            *error = "unknown option \"" + a + "\"";
            return std::nullopt;
        }
    }
    if (!o.help && o.items.empty()) {
        *error = "--items is required";
        return std::nullopt;
    }
    return o;
}

void PrintUsage(std::ostream& out) {
    out << "usage: imageadjust-line --items LIST [--save] [--unit NAME]... [--cameras N]\n"
           "\n"
           "Runs the station's main window headless, with an operator who follows\n"
           "every prompt, over one or more cameras, and prints each camera's log,\n"
           "status line and the virtual time each item took. STD.DAT is read from\n"
           "the working directory; result files are written there as by the station.\n"
           "\n"
           "  --items LIST   items, comma-separated, ticked in this order:\n"
           "                 ccd-flashup tft-flashup sensitivity line-crawl ratio aperture\n"
           "                 battery flash tft-position defect, or a selection word (0x1300)\n"
           "  --save         tick SAVE: write the result file of each camera\n"
           "  --unit NAME    a unit profile of the simulator (a name or a profile file);\n"
           "                 repeat for several cameras\n"
           "  --cameras N    N cameras of the given units in turn, each with its own\n"
           "                 identification (the profile's, counting up)\n"
           "  --help         this text\n"
           "\n"
           "Exit status: 0 when every camera passed, else the first failing camera's\n"
           "error number (1 when it does not fit).\n";
}

std::string CountedIdentification(const std::string& base, int n) {
    std::string id = base;
    // Count up the trailing digits, carrying as on an odometer.
    for (int step = 0; step < n; ++step) {
        for (std::size_t i = id.size(); i-- > 0;) {
            if (!std::isdigit(static_cast<unsigned char>(id[i]))) break;
            if (id[i] != '9') {
                ++id[i];
                break;
            }
            id[i] = '0';
        }
    }
    return id;
}

int Run(const Options& options, std::ostream& out, std::ostream& err) {
    platform::VirtualClock clock(platform::RealClock().Today());
    ui::scripted::ScriptedHost host(clock);

    LineMainDlg dlg(host);
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

    const SimBenchApi* bench = FindBenchApi();
    if (!bench && (!options.units.empty() || options.cameras > 0)) {
        err << "imageadjust-line: --unit and --cameras choose simulated units, but the driver library has no "
               "simulated bench\n";
        return 2;
    }

    // The operator at the bench follows the prompts (the main window has the
    // simulator's operator watch them when the driver library is the
    // simulator); here are the windows that want hands.
    std::optional<sim::DiligentOperator> hands;
    if (bench) hands.emplace(*bench);
    host.SetDefaultScript([&](ui::Dialog& d, ui::scripted::Script& s) {
        switch (d.Id()) {
            case 154:  // the current input: type what the ammeter shows, confirm
                if (!hands) break;
                s.Do([&](ui::Dialog& input) {
                    if (auto typed = hands->Answer(input.GetWindowText(), input.GetDlgItemText(1135))) {
                        host.Type(input, 1028, *typed);
                        host.Click(input, ui::IDOK);
                    }
                });
                break;
            case 157:  // TFT position: choose NTSC, look, confirm
                s.Click(1141).Wait(500).Click(1008);
                break;
            case 162:  // the yes/no prompt
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
            dlg.SetSelection(*ParseSelectionWord(item));
        }
    }
    if (options.save) {
        host.SetCheck(dlg, CImageAdjustDlg::IDC_SAVE, true);
        dlg.DispatchCommand(CImageAdjustDlg::IDC_SAVE);
    }

    std::vector<std::string> units = options.units;
    if (units.empty() && bench) units.push_back("nominal");
    const int cameras = options.cameras > 0 ? options.cameras : std::max<int>(1, static_cast<int>(units.size()));

    int exitStatus = 0;
    std::map<std::string, int> seen;
    for (int k = 0; k < cameras; ++k) {
        std::string heading = "=== camera " + std::to_string(k + 1) + " of " + std::to_string(cameras);
        if (bench) {
            const std::string& unit = units[static_cast<std::size_t>(k) % units.size()];
            const char* base = bench->ProfileIdentification(unit.c_str());
            std::string id = CountedIdentification(base ? base : "", seen[unit]++);
            bench->ClearDevices();
            if (bench->AddCamera(unit.c_str(), base ? id.c_str() : nullptr) != 0) {
                err << "imageadjust-line: " << bench->LastError() << "\n";
                return 2;
            }
            heading += ": unit " + unit + ", identification " + id;
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
    return exitStatus;
}

}  // namespace line
