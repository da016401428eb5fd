#pragma once

#include "link/DecoderFinder.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace q5n {

class ProgramHost;

// "Find Decoder": lists the Com ports it will probe and says that a probe is a
// request any other device on them receives; nothing is sent before Start.
// Then every port at once, each rate in turn, its progress on its line; Stop
// or Escape ends every probe at once (the ports close). The first decoder
// found (lowest Com number) becomes the link settings that the Transmit and
// memory windows use (Com number, RS232, rate and frame), and the window says
// so. Keyboard order as on screen: the list, Start, Stop, Close.
class FindDecoderDialog : public QDialog
{
    Q_OBJECT
public:
    FindDecoderDialog(ProgramHost &host, const ComPorts &ports = ComPorts(), QWidget *parent = nullptr);
    ~FindDecoderDialog() override;

    const QList<FindPort> &ports() const { return m_ports; }
    bool searching() const { return m_finder.running(); }
    QString statusText() const;

    void start();
    void stop();

public Q_SLOTS:
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showPort(int index, const QString &state);
    void portDone(int index);
    void searchDone();

    ProgramHost &m_host;
    DecoderFinder m_finder;
    QList<FindPort> m_ports;
    QListWidget *m_list = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_close = nullptr;
};

// The factory the program registers for "Find Decoder...".
QDialog *createFindDecoderDialog(ProgramHost &host);

} // namespace q5n
