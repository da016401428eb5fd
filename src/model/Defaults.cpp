#include "model/Defaults.h"

#include "model/ProgramState.h"
#include "model/TextItems.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>

namespace q5n {

void fillDecoderFactory(ConfigImage &image)
{
    for (int i = 0; i <= 7; ++i)
        image[i] = static_cast<quint8>(0x41 + i); // code ID characters 'A'..'H'
    for (int i = 8; i <= 15; ++i)
        image[i] = 0xFF; // empty prefix and suffix
    image[16] = 0x08;
    image[17] = 0x00;
    image[18] = 0xFF;
    image[19] = 0xFC;
    image[20] = 0x02;
    image[21] = 0xFF;
    image[22] = 0x22;
    image[23] = 0x66;
    image[24] = 0x00;
}

void fillReaderFactory(ConfigImage &image)
{
    image[25] = 0x00;
    image[26] = 0x30;
    image[27] = 0xE2;
    image[28] = 0x17;
    for (int i = 29; i <= 76; ++i)
        image[i] = 0xFF; // empty track prefix and suffix slots
    image[77] = '%';
    image[78] = '?';
    image[79] = ';';
    image[80] = '?';
    image[81] = '+';
    image[82] = '?';
    image[83] = 0x0F;
    image[84] = 0x0D;
}

ConfigImage factoryImage()
{
    ConfigImage image;
    fillDecoderFactory(image);
    fillReaderFactory(image);
    return image;
}

QByteArray defaultsFileBytes(const ConfigImage &image)
{
    QByteArray out = kDefaultsMarker + "\r\n";
    for (quint8 b : image.bytes)
        out += numberItem(b) + "\r\n";
    return out;
}

std::optional<ConfigImage> parseDefaultsLines(const QList<QByteArray> &lines)
{
    if (lines.isEmpty())
        return std::nullopt;
    QList<QByteArray> items;
    for (const QByteArray &line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        items.append(line.split(','));
    }
    if (items.isEmpty() || items.front().trimmed() != kDefaultsMarker)
        return std::nullopt;
    if (items.size() < 1 + kImageSize)
        return std::nullopt;
    ConfigImage image;
    for (int i = 0; i < kImageSize; ++i) {
        const auto value = parseNumberItem(items[1 + i], 0, 255);
        if (!value)
            return std::nullopt;
        image[i] = static_cast<quint8>(*value);
    }
    return image;
}

std::optional<ConfigImage> parseDefaultsFile(const QByteArray &bytes)
{
    const LineRead read = readLines(bytes, kDefaultsFileLines);
    if (read.status != LineRead::Status::Read)
        return std::nullopt;
    return parseDefaultsLines(read.lines);
}

QString loadDefaults(ProgramState &state, const Paths &paths)
{
    struct Place
    {
        QString dir;
        bool mustBePrivate; // a shared working directory must not hand us someone else's file
    };
    const Place places[] = {{paths.workingDir, true}, {paths.userDataDir, false}, {paths.programDir, false}};
    for (const Place &place : places) {
        if (place.dir.isEmpty())
            continue;
        const QString path = QDir(place.dir).filePath(kDefaultsFileName);
        const FileLines file = readFileLines(path, kDefaultsFileLines, place.mustBePrivate);
        if (file.status == FileLines::Status::Missing || file.status == FileLines::Status::NotPrivate ||
            file.status == FileLines::Status::NotRegularFile)
            continue;
        std::optional<ConfigImage> image;
        if (file.status == FileLines::Status::Read)
            image = parseDefaultsLines(file.lines);
        if (image) {
            state.defaultImage = *image;
            return path;
        }
        break; // the file found is the one that counts, even when unusable
    }
    fillDecoderFactory(state.defaultImage);
    fillReaderFactory(state.defaultImage);
    return {};
}

SaveDefaultsResult saveAsDefault(ProgramState &state, const Paths &paths)
{
    const QByteArray bytes = defaultsFileBytes(state.workingImage);
    SaveDefaultsResult result;
    // Root's defaults stay root's: a file in the program's directory would
    // become every user's defaults, so root saves to its own data directory
    // only (start-up looks there before the program's directory).
    QStringList dirs;
    if (!paths.programDirReadOnly && !paths.runsAsRoot)
        dirs.append(paths.programDir);
    if (!paths.userDataDir.isEmpty() && paths.userDataDir != paths.programDir)
        dirs.append(paths.userDataDir);
    if (dirs.isEmpty()) {
        result.path = kDefaultsFileName;
        result.error = QStringLiteral("There is no per-user data folder to save the defaults in.");
        return result;
    }
    for (const QString &dir : dirs) {
        QDir().mkpath(dir);
        result.path = QDir(dir).filePath(kDefaultsFileName);
        result.error = writeFileAtomically(result.path, bytes);
        if (result.error.isEmpty()) {
            state.defaultImage = state.workingImage;
            return result;
        }
    }
    return result;
}

} // namespace q5n
