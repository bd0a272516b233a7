#pragma once
// The simulated bench in a small window beside the station: the supply and
// its power source, the cable and the camera's switches, the optics in front
// of the camera and the ammeter, read from the simulator's bench API a few
// times a second. A person at a demo bench reads the ammeter here to type it
// into the current input window, as at a real bench from the meter. It never
// takes the keyboard focus from the station's windows.

#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sim/bench_api.h"

class QFormLayout;
class QLabel;
class QPushButton;

namespace app {

class BenchOperatorHook;

class BenchWindow : public QWidget {
public:
    static constexpr int kRefreshMs = 200;

    // The fields it shows; each value label has the field's object name.
    enum class Field {
        Power, SupplyVolts, Usb, MainSwitch, ExposureMode, AfMode, CcdPower,
        Lens, NdFilter, Light, Closest, Chart, FlashPoppedUp, SubjectDistance, Ammeter,
    };
    static const char* ObjectName(Field field);

    explicit BenchWindow(const SimBenchApi& bench);

    // Reads the bench now.
    void Refresh();
    QString Shown(Field field) const;
    // Places the window beside `station` (at its right, else its left, on
    // its screen), as a window of the station's, and shows it.
    void ShowBeside(QWidget* station);

    // The unit on the bench, as this window last put it there (the
    // simulator starts with the nominal one).
    QString Unit() const { return m_unit; }
    // Puts another unit on the bench in place of the camera there: a
    // built-in profile's name or a profile file. Only between runs; false
    // with the reason otherwise, and the camera stays.
    bool PutUnit(const std::string& profile, QString* error);
    // Whether no run is under way. By default: the station's window is the
    // top modal window, as it is between runs only (a run works in item
    // windows and prompts, and takes no input while it waits).
    using Gate = std::function<bool()>;
    void SetGate(Gate gate) { m_gate = std::move(gate); }
    bool BetweenRuns() const { return m_gate ? m_gate() : DefaultGate(); }

private:
    void AddRow(QFormLayout* form, const char* label, Field field);
    bool DefaultGate() const;
    void ChooseUnit();

    const SimBenchApi& m_bench;
    std::map<Field, QLabel*> m_values;
    std::vector<QLabel*> m_captions;
    QLabel* m_unitLabel = nullptr;
    QPushButton* m_change = nullptr;
    QString m_unit = QStringLiteral("nominal");
    Gate m_gate;
};

// Keeps a bench window open while the hook's driver library is the
// simulator: it opens when the library has loaded and closes before the
// library is freed.
class BenchWindowKeeper {
public:
    explicit BenchWindowKeeper(BenchOperatorHook& hook);
    ~BenchWindowKeeper();
    BenchWindowKeeper(const BenchWindowKeeper&) = delete;
    BenchWindowKeeper& operator=(const BenchWindowKeeper&) = delete;

    BenchWindow* Window() const { return m_window; }

private:
    void Attach(const SimBenchApi* bench);

    BenchOperatorHook& m_hook;
    QPointer<BenchWindow> m_window;
};

}  // namespace app
