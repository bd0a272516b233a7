#include "standards/standard_dlg.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <type_traits>
#include <variant>

#include "platform/file_write.h"
#include "platform/sjis.h"
#include "platform/trace.h"
#include "res/prompts.h"
#include "res/templates.h"
#include "standards/aperture_spec_dlg.h"
#include "standards/standard_ranges.h"

namespace {

enum class ReadOutcome { Ok, CannotOpen, TooLong, ReadError };

// Reads at most kStdMaxBytes + 1 bytes, enough to tell a file that is too long.
ReadOutcome ReadStdFile(const std::string& path, std::string& bytes, long long& size) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ReadOutcome::CannotOpen;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // A directory or a device is no standards file.
        ::close(fd);
        return ReadOutcome::CannotOpen;
    }
    size = static_cast<long long>(st.st_size);
    if (st.st_size > static_cast<off_t>(kStdMaxBytes)) {
        ::close(fd);
        return ReadOutcome::TooLong;
    }
    bytes.clear();
    char buf[kStdMaxBytes + 1];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return ReadOutcome::ReadError;
        }
        if (n == 0) break;
        bytes.append(buf, static_cast<std::size_t>(n));
        if (bytes.size() > kStdMaxBytes) {
            // The file grew after it was measured.
            ::close(fd);
            size = static_cast<long long>(bytes.size());
            return ReadOutcome::TooLong;
        }
    }
    ::close(fd);
    return ReadOutcome::Ok;
}

}  // namespace

void ExchangeStandard(ui::DataExchange& dx, const StandardField& field, StandardData& d) {
    const int id = field.controlId;
    std::visit(
        [&dx, id](auto* value) {
            dx.Text(id, *value);
            if constexpr (std::is_same_v<decltype(value), std::string*>)
                dx.MaxChars(id, *value, static_cast<int>(kSensInitialMaxChars));
        },
        field.At(d));
}

const std::vector<int>& CStandardDlg::TransferOrder() {
    static const std::vector<int> order = [] {
        std::vector<int> ids = {
            IDC_RATIO_SAMPLE_COUNT, IDC_RATIO_GR_INITIAL, IDC_RATIO_GB_INITIAL,
            IDC_LINE_RED_LIMIT, IDC_LINE_BLUE_LIMIT,
            IDC_LINE_RED_X, IDC_LINE_RED_WIDTH, IDC_LINE_RED_Y, IDC_LINE_RED_HEIGHT,
            IDC_LINE_BLUE_X, IDC_LINE_BLUE_WIDTH, IDC_LINE_BLUE_Y, IDC_LINE_BLUE_HEIGHT,
            IDC_SENS_LEVEL_MIN, IDC_SENS_LEVEL_MAX, IDC_SENS_BASELINE,
            IDC_RATIO_GR_BASELINE, IDC_RATIO_GB_BASELINE,
        };
        for (int i = 0; i < static_cast<int>(kSensInitialCount); ++i) ids.push_back(IDC_SENS_INITIAL + i);
        ids.insert(ids.end(), {
            IDC_SENS_ADJUST_TOLERANCE, IDC_SENS_CHECK_TOLERANCE,
            IDC_BC_ADJUST_VOLTAGE, IDC_BC_CHECK_VOLTAGE, IDC_BC_AD_MIN, IDC_BC_AD_MAX,
            IDC_CURRENT72_OFF_MIN, IDC_CURRENT72_OFF_MAX, IDC_CURRENT77_OFF_MIN, IDC_CURRENT77_OFF_MAX,
            IDC_CURRENT72_ON_MIN, IDC_CURRENT72_ON_MAX, IDC_CURRENT77_ON_MIN, IDC_CURRENT77_ON_MAX,
            IDC_RATIO_GR_TOLERANCE, IDC_RATIO_GB_TOLERANCE,
            IDC_RATIO_GR_MIN, IDC_RATIO_GR_MAX, IDC_RATIO_GB_MAX, IDC_RATIO_GB_MIN,
            IDC_SB_CHARGE_VOLTAGE, IDC_SB_PRE_INITIAL, IDC_SB_MAIN_INITIAL, IDC_SB_PRE_TARGET, IDC_SB_MAIN_TARGET,
            IDC_SB_PRE_TOLERANCE, IDC_SB_MAIN_TOLERANCE,
            IDC_DEFECT_LEVEL, IDC_DEFECT_MAX_WRITES,
        });
        return ids;
    }();
    return order;
}

CStandardDlg::CStandardDlg(ui::Host& host, std::string path)
    : ui::Dialog(host, res::StandardDlgTemplate()), m_path(std::move(path)) {
    OnCommand(IDC_APERTURE_SPEC, [this] { OnApertureSpec(); });
}

void CStandardDlg::OnApertureSpec() {
    CApertureSpecDlg dlg(GetHost());
    dlg.m_pgain = m_data.pgain;
    dlg.m_pgainF14Tolerance = m_data.pgainF14Tolerance;
    dlg.DoModal();
    // Whatever closed it: Cancel has left the values as they went in.
    m_data.pgain = dlg.m_pgain;
    m_data.pgainF14Tolerance = dlg.m_pgainF14Tolerance;
}

int CStandardDlg::ReadStandards() {
    std::string bytes;
    long long size = 0;
    m_readFault.clear();
    switch (ReadStdFile(m_path, bytes, size)) {
        case ReadOutcome::CannotOpen:
            m_readFault = kStdCannotOpen;
            MessageBox(kStdCannotOpen, kCaptionError);
            return 0;
        case ReadOutcome::TooLong:
            platform::Trace(kStdSizeTrace, static_cast<int>(size));
            m_readFault = kStdBadSize;
            MessageBox(kStdBadSize, kCaptionError);
            return 0;
        case ReadOutcome::ReadError:
            // Nothing is stored from a file that could not be read whole.
            m_readFault = kStdCannotCreate;
            GetHost().Beep(kDefaultBeepHz, kDefaultBeepMs);
            AppMessageBox(kStdCannotCreate);
            return 0;
        case ReadOutcome::Ok:
            break;
    }
    platform::Trace(kStdSizeTrace, static_cast<int>(size));
    // The values are ASCII; scanning the code page 932 bytes directly keeps
    // any other byte out of the tokens.
    ParseStandards(bytes, m_data);
    return 1;
}

int CStandardDlg::FailWrite(const char* text) {
    GetHost().Beep(kDefaultBeepHz, kDefaultBeepMs);
    AppMessageBox(text);
    return 0;
}

int CStandardDlg::WriteStandards() {
    const std::string bytes = platform::ToShiftJis(FormatStandards(m_data));
    if (bytes.size() > kStdMaxBytes) return FailWrite(kStdWriteTooLong);
    // The new file replaces the old one only once it is complete, so a failure
    // part way keeps the previous standards.
    switch (platform::WriteFileReplacing(m_path, bytes)) {
        case platform::WriteError::None:
            m_written = true;
            return 1;
        case platform::WriteError::CannotCreate:
        case platform::WriteError::CannotReplace:
            return FailWrite(kStdCannotCreate);
        case platform::WriteError::WriteFailed:
            return FailWrite(kStdWriteFailed);
    }
    return FailWrite(kStdWriteFailed);
}

bool CStandardDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    // Reading back at once brings a value that the controls cannot hold (a
    // five-character initial value) to the operator's attention now.
    UpdateData(true);
    return true;
}

void CStandardDlg::DoDataExchange(ui::DataExchange& dx) {
    // Through a copy: a transfer that stops at a bad entry takes nothing
    // into the record, so that Cancel after it hands back what came in.
    StandardData d = m_data;
    for (const int id : TransferOrder())
        ExchangeStandard(dx, *StandardFieldOfControl(StandardWindow::Standards, id), d);
    // Every value parsed: now each against its range, some of which depend
    // on others. The first out of range is the one the operator is sent to.
    if (!dx.Saving() || dx.Failed()) return;
    const auto faults = CheckStandardRanges(d, StandardWindow::Standards);
    if (!faults.empty()) {
        dx.Fail(faults.front().field->controlId, kStdValueOutOfRange + DescribeRangeFault(faults.front()));
        return;
    }
    m_data = d;
}

void CStandardDlg::OnOK() {
    if (!UpdateData(true)) return;  // the message is shown, the dialog stays open
    if (WriteStandards() != 1) UpdateData(false);
    EndDialog(ui::IDOK);
}
