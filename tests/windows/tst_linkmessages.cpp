// The one table of the link's texts: each exchange's message for each result
// on either channel, as the windows show them (the row's quirks included: a
// keyboard memory read reports only a time-out, the compare upload's good
// result shows the comparison instead of a message).
#include "link/PortIo.h"
#include "windows/LinkMessages.h"

#include <QtTest>

using namespace q5n;
Q_DECLARE_METATYPE(q5n::ExchangeKind)
Q_DECLARE_METATYPE(q5n::LinkResult)

class TestLinkMessages : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void resultMessages_data();
    void resultMessages();
};

void TestLinkMessages::resultMessages_data()
{
    QTest::addColumn<ExchangeKind>("kind");
    QTest::addColumn<LinkResult>("result");
    QTest::addColumn<bool>("rs232");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text"); // empty: no message
    using K = ExchangeKind;
    using R = LinkResult;
    QTest::newRow("download good") << K::Download << R::Good << true << "CFG Message"
                                   << "Download OK!";
    QTest::newRow("download keyboard time-out") << K::Download << R::TimeOut << false << "CFG Message"
                                                << "Times Out Error";
    QTest::newRow("upload good") << K::Upload << R::Good << true << "Upload Message"
                                 << "   Upload OK!   ";
    QTest::newRow("upload line lost") << K::Upload << R::PortLost << true << "Upload Message"
                                      << "Upload Failed!";
    QTest::newRow("version time-out") << K::FirmwareVersion << R::TimeOut << true << "Upload Message"
                                      << "Time Out Error!";
    QTest::newRow("read bad") << K::ReadMemory << R::Bad << true << "Read Memory Message"
                              << "Read Decoder Memory Failed!";
    QTest::newRow("read keyboard good") << K::ReadMemory << R::Good << false << QString() << QString();
    QTest::newRow("read keyboard bad") << K::ReadMemory << R::Bad << false << QString() << QString();
    QTest::newRow("read keyboard time-out") << K::ReadMemory << R::TimeOut << false << "Read Decoder Memory Message"
                                            << "Times Out Error";
    QTest::newRow("clear keyboard good") << K::ClearMemory << R::Good << false << "Clear Memory Message"
                                         << "Clear Decoder Memory OK!";
    QTest::newRow("clear keyboard bad") << K::ClearMemory << R::Bad << false << "Clear Memory Message"
                                        << "Clear Decoder Memory Failed!";
    QTest::newRow("clear time-out") << K::ClearMemory << R::TimeOut << true << "Clear Memory Message"
                                    << "Time Out Error!";
    QTest::newRow("clear keyboard time-out") << K::ClearMemory << R::TimeOut << false << "Clear Decoder Memory Message"
                                             << "Times Out Error";
    QTest::newRow("compare good") << K::CompareUpload << R::Good << true << QString() << QString();
    QTest::newRow("compare keyboard time-out") << K::CompareUpload << R::TimeOut << false << "Upload Message"
                                               << "Times Out Error";
    QTest::newRow("aborted") << K::Download << R::Aborted << true << QString() << QString();
    QTest::newRow("port unavailable") << K::Upload << R::PortUnavailable << true << QString() << QString();
}

void TestLinkMessages::resultMessages()
{
    QFETCH(ExchangeKind, kind);
    QFETCH(LinkResult, result);
    QFETCH(bool, rs232);
    SimulatedPortIo io;
    LinkExchange link(io, Timing{}, nullptr);
    const LinkMessage message = resultMessage(kind, result, rs232, link);
    QTEST(message.text, "text");
    if (!message.text.isEmpty())
        QTEST(message.title, "title");
}

QTEST_GUILESS_MAIN(TestLinkMessages)
#include "tst_linkmessages.moc"
