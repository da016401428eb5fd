#include "windows/TransmitWindow.h"

#include "link/ComPorts.h"
#include "link/EventWait.h"
#include "protocol/Hex.h"
#include "link/KeyboardChannel.h"
#include "protocol/Protocol.h"
#include "windows/SerialOpen.h"
#include "link/SerialPort.h"
#include "model/ProgramState.h"
#include "platform/Prompter.h"
#include "shell/MainWindow.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace q5n {

namespace {

const QString kCfgTitle = QStringLiteral("CFG Message");
const QString kUploadTitle = QStringLiteral("Upload Message");
const QString kTimeOut = QStringLiteral("Time Out Error!");
const QString kHandshakeTimeOut = QStringLiteral("Times Out Error");
const QString kDownloadOk = QStringLiteral("Download OK!");
const QString kDownloadFailed = QStringLiteral("Download Failed!");
const QString kUploadOk = QStringLiteral("   Upload OK!   ");
const QString kUploadFailed = QStringLiteral("Upload Failed!");
const QString kReplaceQuestion = QStringLiteral("This will replace your current data with reader's data!");

const QStringList kBaudRates = {QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
                                QStringLiteral("9600"), QStringLiteral("19200")};
const QString kParityLetters = QStringLiteral("NEOMS");

// The decoder accepts upload and version requests only without a parity bit
// it cannot produce: Even and Odd disable them.
bool parityAllowsReceive(int index)
{
    return index != 1 && index != 2;
}

QString portTooltip(int n)
{
    const QString device = comDevicePath(n);
    return device.isEmpty() ? QStringLiteral("COM %1: no serial port on this computer").arg(n)
                            : QStringLiteral("COM %1: %2").arg(n).arg(device);
}

} // namespace

TransmitWindow::TransmitWindow(MainWindow &main, QWidget *parent)
    : PageWindow(main, definitionOf(kPage), parent)
{
    m_wait = new EventWait(this);
    m_comm = new SerialPort(this);
    m_comm->setObjectName(QStringLiteral("MSComm1"));
    connect(m_comm, &SerialPort::onComm, this, &TransmitWindow::onComm);
    connect(m_comm, &SerialPort::portLost, this, &TransmitWindow::onPortLost);
    m_timer2 = new QTimer(this);
    m_timer2->setSingleShot(true);
    m_timer2->setTimerType(Qt::PreciseTimer);
    connect(m_timer2, &QTimer::timeout, this, [this] {
        m_timeOver = true;
        m_wait->poke();
    });

    buildUi();
    m_keyboard = new KeyboardChannel(context().portIo, context().state, *m_wait, m_text1, this);
    load();
}

TransmitWindow::~TransmitWindow()
{
    // Whatever still waits (only possible when the program is torn down
    // around the window) ends now; the port closes with the adapter.
    m_wait->abort();
    m_comm->setPortOpen(false);
}

PageWindow *createTransmitWindow(MainWindow &main)
{
    return new TransmitWindow(main);
}

// ---- Layout -------------------------------------------------------------

QButtonGroup *TransmitWindow::addGroup(QGroupBox *frame, const QString &name, const QStringList &captions)
{
    auto *group = new QButtonGroup(this);
    group->setObjectName(name);
    auto *layout = new QVBoxLayout(frame);
    for (int i = 0; i < captions.size(); ++i) {
        auto *option = new QRadioButton(captions[i], frame);
        option->setObjectName(name + u'_' + QString::number(i));
        group->addButton(option, i);
        layout->addWidget(option);
    }
    layout->addStretch(1);
    return group;
}

void TransmitWindow::buildUi()
{
    auto frame = [this](const QString &name, const QString &caption) {
        auto *box = new QGroupBox(caption, this);
        box->setObjectName(name);
        return box;
    };
    m_frame1 = frame(QStringLiteral("Frame1"), QStringLiteral("Interface"));
    m_fraPort = frame(QStringLiteral("FraPort"), QStringLiteral("Port"));
    m_frame4 = frame(QStringLiteral("Frame4"), QStringLiteral("Baud Rate"));
    m_frame2 = frame(QStringLiteral("Frame2"), QStringLiteral("Data Bits"));
    m_frame3 = frame(QStringLiteral("Frame3"), QStringLiteral("Stop Bits"));
    m_frame6 = frame(QStringLiteral("Frame6"), QStringLiteral("Parity"));
    m_frame5 = frame(QStringLiteral("Frame5"), QStringLiteral("Download Option"));

    m_optMode = addGroup(m_frame1, QStringLiteral("OptMode"), {QStringLiteral("Keyboard"), QStringLiteral("RS232")});
    QStringList ports;
    for (int n = 1; n <= kComPortCount; ++n)
        ports << QStringLiteral("Com %1").arg(n);
    m_optPort = addGroup(m_fraPort, QStringLiteral("OptPort"), ports);
    for (int i = 0; i < kComPortCount; ++i)
        m_optPort->button(i)->setToolTip(portTooltip(i + 1));
    m_optBaud = addGroup(m_frame4, QStringLiteral("optBaud"), kBaudRates);
    m_optDatabits = addGroup(m_frame2, QStringLiteral("optDatabits"),
                             {QStringLiteral("7 Data Bits"), QStringLiteral("8 Data Bits")});
    m_optStopbits = addGroup(m_frame3, QStringLiteral("optStopbits"),
                             {QStringLiteral("1 Stop Bit"), QStringLiteral("2 Stop Bit")});
    m_option2 = addGroup(m_frame6, QStringLiteral("Option2"),
                         {QStringLiteral("None"), QStringLiteral("Even"), QStringLiteral("Odd"),
                          QStringLiteral("Mark"), QStringLiteral("Space")});
    m_option1 = addGroup(m_frame5, QStringLiteral("Option1"), {QStringLiteral("Not Save"), QStringLiteral("Save")});

    // The options selected when the window is created; the loading steps then
    // select from the program state.
    m_optMode->button(1)->setChecked(true);
    m_optPort->button(0)->setChecked(true);
    m_optBaud->button(3)->setChecked(true);
    m_optDatabits->button(1)->setChecked(true);
    m_optStopbits->button(0)->setChecked(true);
    m_option2->button(0)->setChecked(true);
    m_option1->button(0)->setChecked(true);

    connect(m_optMode, &QButtonGroup::idClicked, this, &TransmitWindow::modeClicked);
    connect(m_optPort, &QButtonGroup::idClicked, this, &TransmitWindow::portClicked);
    connect(m_optBaud, &QButtonGroup::idClicked, this, &TransmitWindow::baudClicked);
    connect(m_optDatabits, &QButtonGroup::idClicked, this, &TransmitWindow::dataBitsClicked);
    connect(m_optStopbits, &QButtonGroup::idClicked, this, &TransmitWindow::stopBitsClicked);
    connect(m_option2, &QButtonGroup::idClicked, this, &TransmitWindow::parityClicked);
    connect(m_option1, &QButtonGroup::idClicked, this, &TransmitWindow::downloadOptionClicked);

    auto button = [this](const QString &name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    m_cmdTransmit = button(QStringLiteral("cmdTransmit"), QStringLiteral("Download to Decoder"));
    m_cmdReceive = button(QStringLiteral("cmdReceive"), QStringLiteral("Upload To PC"));
    m_cmdVersion = button(QStringLiteral("CmdVersion"), QStringLiteral("Get Firmware Version"));
    m_cmdClose = button(QStringLiteral("cmdClose"), QStringLiteral("Close"));
    connect(m_cmdTransmit, &QPushButton::clicked, this, &TransmitWindow::download);
    connect(m_cmdReceive, &QPushButton::clicked, this, &TransmitWindow::upload);
    connect(m_cmdVersion, &QPushButton::clicked, this, &TransmitWindow::firmwareVersion);
    connect(m_cmdClose, &QPushButton::clicked, this, &TransmitWindow::closeClicked);

    m_progressBar1 = new QProgressBar(this);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setTextVisible(false);
    m_progressBar1->hide();
    // Keeps its place in the layout while hidden, so the window does not jump.
    QSizePolicy keep = m_progressBar1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_progressBar1->setSizePolicy(keep);

    // The decoder's typed answers arrive here: tiny, but visible and enabled
    // so that it can hold the focus.
    m_text1 = new QLineEdit(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setFixedSize(12, 7);
    m_text1->setFrame(false);
    m_text1->setFocusPolicy(Qt::ClickFocus);
    m_text1->setAccessibleName(QStringLiteral("Decoder answer"));

    // The settings in a grid of equal columns (the two-option groups in the
    // first row, the longer ones below), the progress bar under them, and the
    // command buttons in a column beside them.
    auto *grid = m_grid = new QGridLayout;
    grid->addWidget(m_frame1, 0, 0);
    grid->addWidget(m_frame2, 0, 1);
    grid->addWidget(m_frame3, 0, 2);
    grid->addWidget(m_frame5, 0, 3);
    grid->addWidget(m_fraPort, 1, 0);
    grid->addWidget(m_frame4, 1, 1);
    grid->addWidget(m_frame6, 1, 2);
    equalizeColumns();

    auto *left = new QVBoxLayout;
    left->addLayout(grid);
    left->addWidget(m_progressBar1);

    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {m_cmdTransmit, m_cmdReceive, m_cmdVersion, m_cmdClose})
        buttons->addWidget(b);
    buttons->addStretch(1);

    auto *top = new QHBoxLayout;
    top->addLayout(left);
    top->addSpacing(12);
    top->addLayout(buttons);
    top->addStretch(1);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addStretch(1);
    outer->addWidget(m_text1, 0, Qt::AlignLeft | Qt::AlignBottom);

    // Keyboard order: the settings row by row, then the buttons.
    QWidget *order[] = {m_optMode->checkedButton(), m_optDatabits->checkedButton(),
                        m_optStopbits->checkedButton(), m_option1->checkedButton(),
                        m_optPort->checkedButton(), m_optBaud->checkedButton(),
                        m_option2->checkedButton(), m_cmdTransmit, m_cmdReceive, m_cmdVersion, m_cmdClose};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TransmitWindow::equalizeColumns()
{
    int width = 0;
    for (QGroupBox *f : {m_frame1, m_frame2, m_frame3, m_frame5, m_fraPort, m_frame4, m_frame6})
        width = std::max({width, f->sizeHint().width(), f->minimumSizeHint().width()});
    for (int c = 0; c < 4; ++c)
        m_grid->setColumnMinimumWidth(c, width);
    m_grid->invalidate();
}

void TransmitWindow::showEvent(QShowEvent *event)
{
    PageWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // The frames' sizes are known for sure once the style has polished them.
    equalizeColumns();
    // Maximised inside the main window.
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->showMaximized();
    else if (!parentWidget())
        showMaximized();
}

// ---- Settings -------------------------------------------------------------

void TransmitWindow::select(QButtonGroup *group, int index)
{
    QAbstractButton *option = group->button(index);
    if (!option || option->isChecked())
        return;
    option->setChecked(true);
    Q_EMIT group->idClicked(index);
}

void TransmitWindow::load()
{
    ProgramState &s = context().state;
    // activePage and mnuConfigDefault were handled by PageWindow; the window
    // is maximised when first shown.
    select(m_option1, s.saveOption ? 1 : 0);
    if (m_optPort->button(s.linkSettings.portNumber - 1)) {
        select(m_optPort, s.linkSettings.portNumber - 1);
    } else {
        // A port number without an option (a setup file may hold any): show
        // no port rather than one that is not used.
        m_optPort->setExclusive(false);
        for (QAbstractButton *b : m_optPort->buttons())
            b->setChecked(false);
        m_optPort->setExclusive(true);
    }
    if (s.linkSettings.linkMode == LinkSettings::kRs232) {
        m_fraPort->setEnabled(true);
        select(m_optMode, 1);
    } else {
        m_fraPort->setEnabled(false);
        select(m_optMode, 0);
    }
    const int baud = kBaudRates.indexOf(s.linkSettings.baudRate);
    select(m_optBaud, baud < 0 ? 0 : baud);
    const QString frame = s.linkSettings.frameSettings;
    select(m_optDatabits, frame.size() > 2 && frame[2] == u'7' ? 0 : 1);
    select(m_optStopbits, frame.size() > 4 && frame[4] == u'1' ? 0 : 1);
    m_verFlag = false;
}

void TransmitWindow::modeClicked(int i)
{
    context().state.linkSettings.linkMode = static_cast<qint16>(i);
    const bool rs232 = i == 1;
    for (QGroupBox *f : {m_fraPort, m_frame2, m_frame3, m_frame4})
        f->setEnabled(rs232);
}

void TransmitWindow::portClicked(int i)
{
    context().state.linkSettings.portNumber = static_cast<qint16>(i + 1);
}

void TransmitWindow::baudClicked(int i)
{
    context().state.linkSettings.baudRate = kBaudRates.value(i, kBaudRates[0]);
}

void TransmitWindow::dataBitsClicked(int i)
{
    LinkSettings &l = context().state.linkSettings;
    const QChar stop = l.frameSettings.size() > 4 ? l.frameSettings[4] : QChar(u'1');
    l.setFrameSettings((i == 0 ? QStringLiteral("N,7,") : QStringLiteral("N,8,")) + stop);
}

void TransmitWindow::stopBitsClicked(int i)
{
    LinkSettings &l = context().state.linkSettings;
    l.setFrameSettings(l.frameSettings.left(4) + (i == 0 ? u'1' : u'2'));
}

void TransmitWindow::parityClicked(int i)
{
    LinkSettings &l = context().state.linkSettings;
    l.setFrameSettings(kParityLetters.mid(i, 1) + l.frameSettings.mid(1));
    // During an exchange the buttons stay disabled whatever is chosen.
    m_cmdReceive->setEnabled(!m_busy && parityAllowsReceive(i));
    m_cmdVersion->setEnabled(!m_busy && parityAllowsReceive(i));
}

void TransmitWindow::downloadOptionClicked(int i)
{
    context().state.saveOption = i != 0;
}

// ---- Commands -------------------------------------------------------------

void TransmitWindow::setCommandsEnabled(bool enabled)
{
    m_cmdTransmit->setEnabled(enabled);
    m_cmdClose->setEnabled(enabled);
    // Even and Odd parity keep upload and version disabled.
    const bool receive = enabled && parityAllowsReceive(m_option2->checkedId());
    m_cmdReceive->setEnabled(receive);
    m_cmdVersion->setEnabled(receive);
}

void TransmitWindow::closeClicked()
{
    if (m_busy)
        return;
    if (m_comm->portOpen())
        m_comm->setPortOpen(false);
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

void TransmitWindow::message(const QString &title, const QString &text)
{
    context().prompter.ask({title, text, Prompter::Button::Ok, Prompter::Button::Ok, Prompter::Icon::None, {}});
}

void TransmitWindow::download()
{
    if (m_busy)
        return;
    m_wait->reset();
    context().state.receiveMode = false;
    if (context().state.linkSettings.isRs232())
        downloadRs232();
    else
        downloadKeyboard();
}

void TransmitWindow::upload()
{
    if (m_busy)
        return;
    receive();
}

void TransmitWindow::firmwareVersion()
{
    if (m_busy)
        return;
    context().state.receiveMode = true;
    m_verFlag = true;
    receive();
    m_verFlag = false;
}

void TransmitWindow::receive()
{
    m_wait->reset();
    context().state.receiveMode = true;
    if (!m_verFlag) {
        const auto answer = context().prompter.ask({kUploadTitle, kReplaceQuestion,
                                                    Prompter::Button::Ok | Prompter::Button::Cancel,
                                                    Prompter::Button::Ok, Prompter::Icon::None, {}});
        if (answer != Prompter::Button::Ok)
            return;
    }
    if (context().state.linkSettings.isRs232())
        receiveRs232();
    else
        receiveKeyboard();
}

// ---- RS232 ----------------------------------------------------------------

bool TransmitWindow::waitSerialAnswer(int timeoutMs)
{
    m_inputPos = NoAnswer;
    m_timeOver = false;
    m_awaitingReply = true;
    // A port lost while the request was written ends the wait at once.
    if (m_portLost) {
        m_inputPos = BadAnswer;
        m_timeOver = true;
    }
    m_timer2->start(timeoutMs);
    const bool ok = m_wait->until([this] { return m_timeOver; });
    m_timer2->stop();
    m_awaitingReply = false;
    return ok;
}

void TransmitWindow::downloadRs232()
{
    ProgramState &s = context().state;
    m_portLost = false;
    if (!openLinkPort(*m_comm, s.linkSettings, context().prompter))
        return;
    const QByteArray frame = downloadFrame(s.workingImage, s.saveOption);
    m_busy = true;
    setCommandsEnabled(false);
    m_comm->output(frame);
    m_comm->setInputLen(0);
    m_comm->clearInBuffer();
    m_comm->setRThreshold(1);
    m_comm->setInputMode(1);

    QPointer<TransmitWindow> self(this);
    if (waitSerialAnswer(context().timing.downloadAnswerMs)) {
        message(kCfgTitle, m_inputPos == GoodAnswer  ? kDownloadOk
                           : m_inputPos == BadAnswer ? kDownloadFailed
                                                     : kTimeOut);
    }
    if (!self)
        return;
    m_comm->setPortOpen(false);
    setCommandsEnabled(true);
    m_progressBar1->hide();
    m_busy = false;
}

void TransmitWindow::receiveRs232()
{
    ProgramState &s = context().state;
    m_portLost = false;
    if (!openLinkPort(*m_comm, s.linkSettings, context().prompter)) {
        m_verFlag = false;
        return;
    }
    m_busy = true;
    setCommandsEnabled(false);
    m_comm->output(uploadRequest());
    m_comm->setInputLen(0);
    m_comm->clearInBuffer();
    m_comm->setRThreshold(kUploadReplyThreshold);
    m_comm->setInputMode(1);

    QPointer<TransmitWindow> self(this);
    if (waitSerialAnswer(context().timing.uploadReplyMs)) {
        QString text = kTimeOut;
        if (m_inputPos == GoodAnswer)
            text = m_verFlag ? m_msg : kUploadOk;
        else if (m_inputPos == BadAnswer)
            text = kUploadFailed;
        message(kUploadTitle, text);
    }
    if (!self)
        return;
    m_comm->setPortOpen(false);
    setCommandsEnabled(true);
    m_verFlag = false;
    m_progressBar1->hide();
    m_busy = false;
}

void TransmitWindow::onComm()
{
    if (m_comm->commEvent() != SerialPort::kEventReceive)
        return;
    const QByteArray in = m_comm->input();
    // Only the first answer of an exchange counts; later bytes are dropped.
    if (!m_awaitingReply || in.isEmpty())
        return;
    m_awaitingReply = false;
    m_timeOver = true;
    ProgramState &s = context().state;
    if (!s.receiveMode) {
        m_inputPos = static_cast<quint8>(in[0]) == kDownloadAccepted ? GoodAnswer : BadAnswer;
    } else {
        const UploadReply reply = parseRs232UploadReply(in);
        if (!reply.valid) {
            m_inputPos = BadAnswer;
        } else {
            if (m_verFlag)
                m_msg = firmwareVersionText(reply.versionPart1, reply.versionPart2);
            else
                applyUploadReply(reply, s.workingImage);
            m_inputPos = GoodAnswer;
        }
    }
    m_wait->poke();
}

void TransmitWindow::onPortLost()
{
    // The device went away: the exchange fails at once, with its own failure
    // message; the adapter has already closed the port.
    m_portLost = true;
    if (!m_awaitingReply)
        return;
    m_awaitingReply = false;
    m_inputPos = BadAnswer;
    m_timeOver = true;
    m_wait->poke();
}

// ---- Keyboard port --------------------------------------------------------

int TransmitWindow::keyboardHandshake()
{
    ProgramState &s = context().state;
    const Timing &t = context().timing;
    KeyboardChannel::Handshake h;
    // The token is chosen at every tick: upload/version, or download by the option.
    h.token = [&s] { return s.receiveMode ? uploadToken() : downloadToken(s.saveOption); };
    h.answered = [](const QString &text) { return text.toUpper() == u"S"; };
    h.tickMs = t.tokenTickMs;
    h.ticks = t.tokenTicks;
    h.bytePauseMs = t.keyboardBytePauseMs;
    return m_keyboard->handshake(h);
}

void TransmitWindow::downloadKeyboard()
{
    ProgramState &s = context().state;
    const Timing &t = context().timing;
    QPointer<TransmitWindow> self(this);
    m_busy = true;

    setCommandsEnabled(false);
    const int timeID = keyboardHandshake();
    if (!self || timeID < 0)
        return;
    if (timeID > t.tokenTicks) {
        message(kCfgTitle, kHandshakeTimeOut);
        setCommandsEnabled(true);
        m_busy = false;
        return;
    }

    bool completed = m_wait->pause(t.afterHandshakeMs);
    if (completed) {
        m_progressBar1->setMaximum(kImageSize - 1);
        m_progressBar1->setValue(0);
        m_progressBar1->show();
        quint8 check = 0;
        for (int i = 0; i < kImageSize && completed; ++i) {
            const quint8 b = s.workingImage[i];
            check ^= b;
            completed = m_keyboard->sendText(toHexPair(b), t.keyboardBytePauseMs);
            if (self)
                m_progressBar1->setValue(i);
        }
        completed = completed && m_keyboard->sendText(toHexPair(check), t.keyboardBytePauseMs);
    }
    if (!self)
        return;
    if (completed) {
        m_keyboard->prepareAnswerBox();
        const bool answered = m_keyboard->waitData(t.keyboardDownloadAnswerMs, [this] {
            return m_keyboard->answerText().toUpper() == u"P";
        });
        if (!self)
            return;
        if (!m_keyboard->aborted())
            message(kCfgTitle, answered ? kDownloadOk : kDownloadFailed);
    } else {
        m_keyboard->releaseInterrupt();
    }
    if (!self)
        return;
    setCommandsEnabled(true);
    m_progressBar1->hide();
    m_busy = false;
}

void TransmitWindow::receiveKeyboard()
{
    const Timing &t = context().timing;
    ProgramState &s = context().state;
    QPointer<TransmitWindow> self(this);
    m_busy = true;

    setCommandsEnabled(false);
    const int timeID = keyboardHandshake();
    if (!self || timeID < 0)
        return;
    if (timeID > t.tokenTicks) {
        message(kUploadTitle, kHandshakeTimeOut);
        setCommandsEnabled(true);
        m_verFlag = false;
        m_busy = false;
        return;
    }

    m_progressBar1->setMaximum(kKeyboardReplyLength + 1);
    m_progressBar1->setValue(0);
    m_progressBar1->show();
    m_keyboard->prepareAnswerBox();
    const QMetaObject::Connection progress = connect(m_text1, &QLineEdit::textChanged, this, [this] {
        m_progressBar1->setValue(std::min<int>(int(m_text1->text().size()), m_progressBar1->maximum()));
    });
    m_keyboard->waitData(t.keyboardTextMs, [this] {
        return m_keyboard->answerText().size() >= kKeyboardReplyLength;
    });
    if (!self)
        return;
    disconnect(progress);
    if (!m_keyboard->aborted()) {
        const UploadReply reply = parseKeyboardUploadReply(m_keyboard->answerText());
        QString text = kUploadFailed;
        if (reply.valid) {
            if (!m_verFlag)
                applyUploadReply(reply, s.workingImage);
            m_msg = firmwareVersionText(reply.versionPart1, reply.versionPart2);
            text = m_verFlag ? m_msg : kUploadOk;
        }
        message(kUploadTitle, text);
    }
    if (!self)
        return;
    setCommandsEnabled(true);
    m_verFlag = false;
    m_progressBar1->hide();
    m_busy = false;
}

} // namespace q5n
