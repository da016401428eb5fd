#include "model/Notation.h"
#include "model/Text8.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace q5n;

namespace {
QByteArray slot(const ConfigImage &image, int first, int count)
{
    QByteArray out;
    for (int k = 0; k < count; ++k)
        out.append(char(image[first + k]));
    return out;
}

// What a field reads back as after being shown, told the way the notation
// promises it: the content ends at the first 255 (the rest comes back as 255),
// and a "{", a name of two or three characters in any case (a two-letter
// name optionally followed by a blank) and a "}" come back as that name's
// code, the following bytes moving forward. Everything else is unchanged.
QByteArray expectedReadBack(const QByteArray &field)
{
    static const QByteArray names = QByteArrayLiteral(
        "NULSOHSTXETXEOTENQACKBELBS HT LF VT FF CR SO SI DLEDC1DC2DC3DC4NAKSYNETBCANEM SUBESCFS GS RS US ");
    const qsizetype end = field.indexOf(char(0xFF));
    const QByteArray content = end < 0 ? field : field.left(end);
    QByteArray out;
    for (qsizetype k = 0; k < content.size();) {
        const qsizetype close = content.indexOf('}', k + 1);
        if (content[k] == '{' && close > k + 2 && close <= k + 4) {
            QByteArray name = content.mid(k + 1, close - k - 1).toUpper();
            if (name.size() == 2)
                name += ' ';
            const qsizetype p = names.indexOf(name);
            if (p >= 0 && p % 3 == 0 && uchar(name[0]) >= 32 && uchar(name[1]) >= 32) {
                out.append(char(p / 3));
                k = close + 1;
                continue;
            }
        }
        out.append(content[k]);
        ++k;
    }
    return out.leftJustified(field.size(), char(0xFF), true);
}

} // namespace

class TestNotation : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void names()
    {
        QCOMPARE(controlName(0), QStringLiteral("NUL"));
        QCOMPARE(controlName(8), QStringLiteral("BS"));
        QCOMPARE(controlName(31), QStringLiteral("US"));
        QCOMPARE(controlName(32), QString());
        for (int c = 0; c < 32; ++c)
            QCOMPARE(controlCode(controlName(c)), std::optional<int>(c));
        QCOMPARE(controlCode(QStringLiteral("cr ")), std::optional<int>(13));
        // Letters that straddle two cells are no name.
        QCOMPARE(controlCode(QStringLiteral("LSO")), std::nullopt);
        QCOMPARE(controlCode(QStringLiteral("F1")), std::nullopt);
    }

    void insertionToText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("CR LF") << QByteArray("\x0D\x0A\xFF\xFF", 4) << "{CR}{LF}";
        QTest::newRow("two-letter name without blank") << QByteArray("\x08\x41\xFF\xFF", 4) << "{BS}A";
        QTest::newRow("255 ends the content") << QByteArray("\xFF\x41\x42\x43", 4) << "";
        QTest::newRow("NUL and 8-bit") << QByteArray("\x00\x80\xE9\xFF", 4) << QString::fromUtf8("{NUL}\u20AC\u00E9");
    }
    void insertionToText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        ConfigImage image;
        for (int k = 0; k < bytes.size(); ++k)
            image[8 + k] = quint8(bytes[k]);
        QCOMPARE(q5n::insertionToText(image, 8, 4), text);
    }

    void textToInsertion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("lower-case name") << "{esc}X" << 4 << QByteArray("\x1B\x58\xFF\xFF", 4);
        QTest::newRow("not a name") << "{F1}" << 4 << QByteArray("\x7B\x46\x31\x7D", 4);
        QTest::newRow("empty braces") << "{}" << 4 << QByteArray("\x7B\x7D\xFF\xFF", 4);
        QTest::newRow("five names on four slots") << "{NUL}{NUL}{NUL}{NUL}{NUL}" << 4 << QByteArray(4, '\0');
        QTest::newRow("name with its blank") << "{CR }" << 4 << QByteArray("\x0D\xFF\xFF\xFF", 4);
        QTest::newRow("STX then A") << "{STX}A" << 4 << QByteArray("\x02\x41\xFF\xFF", 4);
        QTest::newRow("five letters") << "ABCDE" << 4 << QByteArray("ABCD");
        QTest::newRow("empty") << "" << 4 << QByteArray(4, '\xFF');
        QTest::newRow("brace without end") << "{CR" << 4 << QByteArray("{CR\xFF", 4);
        QTest::newRow("unknown three letters") << "{XYZ}" << 8 << QByteArray("{XYZ}\xFF\xFF\xFF", 8);
        QTest::newRow("one letter") << "{A}" << 8 << QByteArray("{A}\xFF\xFF\xFF\xFF\xFF", 8);
        QTest::newRow("ten characters") << "0123456789" << 8 << QByteArray("01234567");
        QTest::newRow("the character of 255 ends the content")
            << QString::fromUtf8("A\u00FFBC") << 4 << QByteArray("A\xFF\xFF\xFF", 4);
        QTest::newRow("character without a byte is skipped")
            << QString::fromUtf8("A\u03A9B") << 4 << QByteArray("AB\xFF\xFF", 4);
    }
    void textToInsertion()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QFETCH(QByteArray, bytes);
        ConfigImage image;
        image.bytes.fill(0x55);
        q5n::textToInsertion(image, text, 29, count);
        QCOMPARE(slot(image, 29, count), bytes);
        QCOMPARE(int(image[28]), 0x55);
        QCOMPARE(int(image[29 + count]), 0x55);
    }

    void roundTripOfRandomFields()
    {
        // Bytes drawn so that braces, name letters, control codes and 255 are
        // frequent, on fields of four and eight bytes.
        static const QByteArray alphabet = QByteArrayLiteral("{{{}}} CRLFSOHNUTXEcrlfsohx");
        QRandomGenerator random(20261207);
        for (int run = 0; run < 20000; ++run) {
            const int count = run % 2 ? 8 : 4;
            const int first = count == 4 ? 8 : 29;
            QByteArray field;
            for (int k = 0; k < count; ++k) {
                const quint32 pick = random.bounded(10);
                if (pick < 6)
                    field.append(alphabet[random.bounded(int(alphabet.size()))]);
                else if (pick < 8)
                    field.append(char(random.bounded(32)));
                else if (pick < 9)
                    field.append(char(0xFF));
                else
                    field.append(char(random.bounded(256)));
            }
            ConfigImage image;
            for (int k = 0; k < count; ++k)
                image[first + k] = quint8(field[k]);
            const QString text = q5n::insertionToText(image, first, count);
            ConfigImage back;
            back.bytes.fill(0x55);
            q5n::textToInsertion(back, text, first, count);
            QCOMPARE(slot(back, first, count).toHex(' '), expectedReadBack(field).toHex(' '));
        }
    }

    void roundTripOfEveryByte()
    {
        // Every byte other than 255 comes back through the notation unchanged.
        for (int b = 0; b < 255; ++b) {
            ConfigImage image;
            image[12] = quint8(b);
            image[13] = 255;
            const QString text = q5n::insertionToText(image, 12, 4);
            ConfigImage back;
            q5n::textToInsertion(back, text, 12, 4);
            QCOMPARE(int(back[12]), b);
            QCOMPARE(int(back[13]), 255);
        }
    }
};

QTEST_APPLESS_MAIN(TestNotation)
#include "tst_notation.moc"
