#include "standards/standard_dlg.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

CStandardDlg::CStandardDlg(ui::Host& host, std::string path)
    : ui::Dialog(host, res::StandardDlgTemplate()), m_path(std::move(path)) {
    OnCommand(1008, [this] { OnApertureSpec(); });
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
    // The order of the controls is the order of the OK transfer: the first
    // entry that does not parse is the one the operator is sent to.
    dx.Text(1046, d.ratioSampleCount);
    dx.Text(1061, d.ratioGrInitial);
    dx.Text(1062, d.ratioGbInitial);
    dx.Text(1051, d.lineRedLimit);
    dx.Text(1056, d.lineBlueLimit);
    dx.Text(1052, d.lineRedX);
    dx.Text(1053, d.lineRedWidth);
    dx.Text(1054, d.lineRedY);
    dx.Text(1055, d.lineRedHeight);
    dx.Text(1057, d.lineBlueX);
    dx.Text(1058, d.lineBlueWidth);
    dx.Text(1059, d.lineBlueY);
    dx.Text(1060, d.lineBlueHeight);
    dx.Text(1064, d.sensLevelMin);
    dx.Text(1063, d.sensLevelMax);
    dx.Text(1065, d.sensBaseline);
    dx.Text(1066, d.ratioGrBaseline);
    dx.Text(1067, d.ratioGbBaseline);
    for (int i = 0; i < static_cast<int>(kSensInitialCount); ++i) {
        dx.Text(1075 + i, d.sensInitial[static_cast<std::size_t>(i)]);
        dx.MaxChars(1075 + i, d.sensInitial[static_cast<std::size_t>(i)], static_cast<int>(kSensInitialMaxChars));
    }
    dx.Text(1094, d.sensAdjustTolerance);
    dx.Text(1095, d.sensCheckTolerance);
    dx.Text(1096, d.bcAdjustVoltage);
    dx.Text(1097, d.bcCheckVoltage);
    dx.Text(1098, d.bcAdMin);
    dx.Text(1099, d.bcAdMax);
    dx.Text(1100, d.current72OffMin);
    dx.Text(1101, d.current72OffMax);
    dx.Text(1102, d.current77OffMin);
    dx.Text(1103, d.current77OffMax);
    dx.Text(1104, d.current72OnMin);
    dx.Text(1105, d.current72OnMax);
    dx.Text(1106, d.current77OnMin);
    dx.Text(1107, d.current77OnMax);
    dx.Text(1068, d.ratioGrTolerance);
    dx.Text(1070, d.ratioGbTolerance);
    dx.Text(1108, d.ratioGrMin);
    dx.Text(1110, d.ratioGrMax);
    dx.Text(1111, d.ratioGbMax);
    dx.Text(1109, d.ratioGbMin);
    dx.Text(1028, d.sbChargeVoltage);
    dx.Text(1001, d.sbPreInitial);
    dx.Text(1002, d.sbMainInitial);
    dx.Text(1003, d.sbPreTarget);
    dx.Text(1005, d.sbMainTarget);
    dx.Text(1004, d.sbPreTolerance);
    dx.Text(1036, d.sbMainTolerance);
    dx.Text(1037, d.defectLevel);
    dx.Text(1032, d.defectMaxWrites);
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
