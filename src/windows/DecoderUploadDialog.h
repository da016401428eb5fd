#pragma once

#include "link/LinkExchange.h"
#include "protocol/Protocol.h"

#include <QDialog>

class QProgressBar;

namespace q5n {

class LinkSession;
class ProgramHost;

// The busy window of "Compare with Decoder": asks the decoder for its
// configuration over the current link settings and shows what the exchange
// waits for, as the link windows do. The working configuration is not
// touched. A failure is reported with the upload's own messages.
// The window deletes itself once its work is over, whatever the outcome.
class DecoderUploadDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DecoderUploadDialog(ProgramHost &host);
    ~DecoderUploadDialog() override;

    // Starts asking the decoder and returns at once; uploaded() follows when
    // the decoder answered well. Nothing follows a failure (already reported)
    // or a cancel.
    void start();

    LinkExchange &link() const;

Q_SIGNALS:
    void uploaded(const q5n::UploadReply &reply);

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    ProgramHost &m_host;
    LinkSession *m_session;
    QProgressBar *m_progress = nullptr;
};

} // namespace q5n
