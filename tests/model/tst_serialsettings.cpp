#include "model/SerialSettings.h"

#include <QtTest>

using namespace q5n;

class TestSerialSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void text_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<SerialSettings>("settings"); // what the text reads as
        QTest::addColumn<QString>("shown");           // the text those settings make
        const std::pair<char, Parity> parities[] = {
            {'N', Parity::None}, {'E', Parity::Even}, {'O', Parity::Odd}, {'M', Parity::Mark}, {'S', Parity::Space}};
        for (int baud : {1200, 2400, 4800, 9600, 19200})
            for (const auto &[letter, parity] : parities)
                for (int data : {7, 8})
                    for (int stop : {1, 2}) {
                        const QString text = QStringLiteral("%1,%2,%3,%4 ").arg(baud).arg(letter).arg(data).arg(stop);
                        QTest::newRow(qPrintable(text))
                            << text << true << SerialSettings{baud, parity, DataBits(data), StopBits(stop)} << text;
                    }
        QTest::newRow("start values") << "9600,N,8,1 " << true << SerialSettings{} << "9600,N,8,1 ";
        QTest::newRow("no trailing blank") << "2400,E,7,2" << true
                                           << SerialSettings{2400, Parity::Even, DataBits::Seven, StopBits::Two}
                                           << "2400,E,7,2 ";
        QTest::newRow("lower case, blanks") << " 4800 , o , 8 , 1 " << true
                                            << SerialSettings{4800, Parity::Odd, DataBits::Eight, StopBits::One}
                                            << "4800,O,8,1 ";
        for (const char *bad : {"", "      ", "9600,O,8,1 extra", "300,N,8,1 ", "09600,N,8,1 ", "+9600,N,8,1 ",
                                "9600,X,8,1 ", "9600,NE,8,1 ", "9600,,8,1 ", "9600,N,6,1 ", "9600,N,8,1.5",
                                "9600,N,8", "9600,N,8,1,", "9600;N;8;1", "N,8,1 "})
            QTest::newRow(qPrintable(u"refused: \"" + QString::fromLatin1(bad) + u'"'))
                << QString::fromLatin1(bad) << false << SerialSettings{} << QString();
    }
    void text()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(SerialSettings, settings);
        QFETCH(QString, shown);
        const auto parsed = parseSerialSettings(text);
        QCOMPARE(parsed.has_value(), accepted);
        if (parsed) {
            QVERIFY(*parsed == settings);
            QCOMPARE(serialSettingsText(settings), shown);
        }
    }
};

QTEST_APPLESS_MAIN(TestSerialSettings)
#include "tst_serialsettings.moc"
