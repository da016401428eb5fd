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

std::optional<ConfigImage> parseDefaultsFile(const QByteArray &bytes)
{
    const QList<QByteArray> items = splitItems(bytes);
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

QString loadDefaults(ProgramState &state, const Paths &paths)
{
    for (const QString &dir : {paths.workingDir, paths.programDir, paths.userDataDir}) {
        if (dir.isEmpty())
            continue;
        const QString path = QDir(dir).filePath(kDefaultsFileName);
        if (!QFileInfo(path).isFile())
            continue;
        QByteArray bytes;
        std::optional<ConfigImage> image;
        if (readWholeFile(path, &bytes))
            image = parseDefaultsFile(bytes);
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
    QStringList dirs{paths.programDir};
    if (!paths.userDataDir.isEmpty() && paths.userDataDir != paths.programDir)
        dirs.append(paths.userDataDir);
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
