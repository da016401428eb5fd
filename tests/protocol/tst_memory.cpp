#include "protocol/Memory.h"

#include <QTest>

using namespace q5n;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

// A record as the decoder stores a line: length, characters, check byte.
QByteArray record(const QByteArray &line)
{
    quint8 check = 0;
    for (char c : line)
        check ^= quint8(c);
    return char(line.size() + 2) + line + char(check);
}

// The stream cut into 65-byte blocks, zero padded, each with its check byte.
QList<QByteArray> blocks(const QByteArray &stream)
{
    QList<QByteArray> out;
    for (int at = 0; at < stream.size(); at += kMemoryBlockData) {
        QByteArray block = stream.mid(at, kMemoryBlockData);
        block.append(QByteArray(kMemoryBlockData - block.size(), '\0'));
        quint8 check = 0;
        for (char c : block)
            check ^= quint8(c);
        out.append(block + char(check));
    }
    return out;
}

// Runs a read over the blocks until one does not ask for the next; returns
// the lines shown (joined by '|') and the answers sent.
std::pair<QString, QString> read(const QList<QByteArray> &input)
{
    MemoryReassembler r;
    QStringList lines;
    QString answers;
    for (const QByteArray &block : input) {
        const MemoryBlockOutcome o = r.takeBlock(block);
        for (const QByteArray &line : o.lines)
            lines << QString::fromLatin1(line);
        answers += QLatin1Char(memoryBlockAnswer(o.result));
        if (r.fill() > kMemoryBufferSize)
            answers += QLatin1Char('!'); // the buffer overran: no answer may look right
        if (o.result != MemoryBlockResult::Taken)
            break;
    }
    return {lines.join(QLatin1Char('|')), answers};
}

} // namespace

class TestMemory : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void requests()
    {
        QCOMPARE(memoryReadRequest(), bytes({0x02, 0x82, 0x03, 0x83}));
        QCOMPARE(memoryClearRequest(), bytes({0x02, 0x83, 0x03, 0x82}));
        QCOMPARE(memoryReadToken(), QStringLiteral("MMMMM"));
        QCOMPARE(memoryClearToken(), QStringLiteral("NNNNN"));
    }

    void reassembly_data()
    {
        QTest::addColumn<QList<QByteArray>>("input");
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("answers");

        const QByteArray abc = bytes({0x05, 0x41, 0x42, 0x43, 0x40});
        QTest::newRow("record then a further length byte")
            << blocks(abc + record(QByteArray(70, 'x')) + bytes({0x00})) << "ABC|" + QString(70, 'x') << "SP";
        QTest::newRow("record then the end mark") << blocks(abc + bytes({0x00})) << "ABC"
                                                  << "P";
        QTest::newRow("wrong check byte gives an empty line")
            << blocks(bytes({0x05, 0x41, 0x42, 0x43, 0x41, 0x00})) << ""
            << "P";
        QTest::newRow("lengths 1, 2 and 3 are empty lines")
            << blocks(bytes({0x01, 0x02, 0x00, 0x03, 0x00, 0x00, 0x00})) << "||"
            << "P";
        QTest::newRow("empty memory shows nothing") << blocks(bytes({0x00})) << ""
                                                    << "P";

        // A record ending exactly with the first block waits for the second.
        const QByteArray line62(60, 'x');
        QTest::newRow("record ending with its block waits")
            << blocks(record(line62) + record("tail") + bytes({0x00})) << QString(line62) + "|tail"
            << "SP";
        // A record spanning three blocks.
        const QByteArray line150(150, 'y');
        QTest::newRow("record across three blocks")
            << blocks(record("ab") + record(line150) + bytes({0x00})) << "ab|" + QString(line150) << "SSP";
        // 31 blocks of records and no end mark: every block is taken.
        QByteArray many;
        while (many.size() < 31 * kMemoryBlockData)
            many += record("0123456789");
        QStringList taken(165, QStringLiteral("0123456789")); // each record followed by a byte of the next
        QTest::newRow("blocks without an end mark")
            << blocks(many).mid(0, 31) << taken.join(QLatin1Char('|')) << QString(31, 'S');
    }

    void reassembly()
    {
        QFETCH(QList<QByteArray>, input);
        QFETCH(QString, lines);
        QFETCH(QString, answers);
        const auto [shown, sent] = read(input);
        QCOMPARE(shown, lines);
        QCOMPARE(sent, answers);
    }

    void badBlocksEndTheReadKeepingEarlierLines_data()
    {
        QTest::addColumn<QList<QByteArray>>("input");
        QTest::addColumn<QString>("lines");

        QList<QByteArray> twoBlocks = blocks(record(QByteArray(40, 'a')) + record(QByteArray(40, 'b')) + "\0");
        twoBlocks[1][3] = char(twoBlocks[1][3] ^ 0x20); // damaged in transit
        QTest::newRow("bad block check") << twoBlocks << QString(40, 'a');

        QList<QByteArray> shortBlock = blocks(record("ok") + record(QByteArray(70, 'c')));
        shortBlock[1].chop(1);
        QTest::newRow("short block") << shortBlock << "ok";

        // A record of 255 bytes never fits in the room the buffer has left.
        QByteArray longRecord = record("first") + char(0xFF) + QByteArray(300, 'z');
        QTest::newRow("record longer than the buffer") << blocks(longRecord) << "first";
    }

    void badBlocksEndTheReadKeepingEarlierLines()
    {
        QFETCH(QList<QByteArray>, input);
        QFETCH(QString, lines);
        const auto [shown, sent] = read(input);
        QCOMPARE(shown, lines);
        QVERIFY(sent.endsWith(QLatin1Char('E')));
        QCOMPARE(sent.count(QLatin1Char('E')), 1);
    }

    void linesAndFileBytes()
    {
        // Every byte is shown as the character of that code, control characters included.
        const QString text = memoryLinesText({bytes({0x41, 0x01, 0x80}), QByteArray()});
        QCOMPARE(text, QStringLiteral("A\x01\u20AC\r\n\r\n"));
        QCOMPARE(memoryDataFileBytes(text), bytes({0x41, 0x01, 0x80, 13, 10, 13, 10, 13, 10}));
        QCOMPARE(memoryDataFileBytes(QString()), QByteArrayLiteral("\r\n"));
        QCOMPARE(memoryReadOkText(), QStringLiteral("   Read Decoder Memory OK!\r\r"));
    }
};

QTEST_APPLESS_MAIN(TestMemory)
#include "tst_memory.moc"
