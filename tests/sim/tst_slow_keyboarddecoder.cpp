// The keyboard-line decoder simulator at its real intervals (8 ms between
// keys, 100 ms before an answer): a download and an upload arrive whole and in
// order, and the answer follows the focus that moved during the pause.

#include "link/PortIo.h"
#include "sim/KeyboardDecoder.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

using q5n::ConfigImage;
using q5n::PortIo;
using q5n::SimulatedPortIo;
using namespace q5n::sim;

class TestSlowKeyboardDecoder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void exchangesAtRealIntervals()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *handshake = new QLineEdit(&window);
        auto *answer = new QLineEdit(&window);
        layout->addWidget(handshake);
        layout->addWidget(answer);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        handshake->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), handshake);

        SimulatedPortIo io(true);
        KeyboardDecoder decoder; // default timing
        decoder.attach(io);
        // As the program does: once "S" is seen, the answer box takes the keys.
        connect(&decoder, &KeyboardDecoder::answerTyped, answer, [answer](const QString &t) {
            if (t == u"S")
                answer->setFocus();
        });
        const auto write = [&io](const QString &text) {
            for (QChar c : text)
                io.SetPortVal(PortIo::kKeyboardDataPort, c.unicode(), 1);
        };

        // Upload: "S", then 145 characters into the answer box.
        ConfigImage image;
        for (int i = 0; i < q5n::kImageSize; ++i)
            image[i] = quint8(i * 7);
        decoder.setImage(image);
        write(QStringLiteral("CCCCC"));
        QTRY_COMPARE_WITH_TIMEOUT(answer->text().size(), 145, 10000);
        QCOMPARE(handshake->text(), QStringLiteral("S"));
        QCOMPARE(answer->text().mid(1, 4), QStringLiteral("0007"));

        // Download: "S", the 172 hex characters, then "P".
        handshake->clear();
        answer->clear();
        handshake->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), handshake);
        write(QStringLiteral("AAAAA"));
        QTRY_COMPARE_WITH_TIMEOUT(handshake->text(), QStringLiteral("S"), 5000);
        QString stream;
        quint8 check = 0;
        for (int i = 0; i < q5n::kImageSize; ++i) {
            stream += QString::asprintf("%02X", 255 - i);
            check ^= quint8(255 - i);
        }
        write(stream + QString::asprintf("%02X", check));
        QTRY_COMPARE_WITH_TIMEOUT(answer->text(), QStringLiteral("P"), 5000);
        QCOMPARE(int(decoder.model().image[0]), 255);
        QCOMPARE(int(decoder.model().image[84]), 255 - 84);
    }
};

QTEST_MAIN(TestSlowKeyboardDecoder)
#include "tst_slow_keyboarddecoder.moc"
