#pragma once

#include "link/LinkExchange.h"
#include "protocol/Protocol.h"

#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace q5n {

class MainWindow;

// The busy window of "Compare with Decoder": asks the decoder for its
// configuration over the current link settings and shows what the exchange
// waits for, as the link windows do. The working configuration is not
// touched. A failure is reported with the upload's own messages.
class DecoderUploadDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DecoderUploadDialog(MainWindow &main);
    ~DecoderUploadDialog() override;

    // Runs the exchange; the decoded reply when the decoder answered well,
    // nothing after a failure (already reported) or a cancel.
    std::optional<UploadReply> run();

    LinkExchange &link() const { return *m_link; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void showWaiting(LinkExchange::Waiting what, int msLeft);

    MainWindow &m_main;
    QLabel *m_status = nullptr;
    QProgressBar *m_progress = nullptr;
    QLineEdit *m_text1 = nullptr;
    QPushButton *m_cancel = nullptr;
    LinkExchange *m_link = nullptr;
    bool m_busy = false;
};

} // namespace q5n
