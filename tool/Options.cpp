#include "tool/Options.h"

namespace q5n::tool::option {

namespace {

QCommandLineOption make(const QStringList &names, const char *description, const char *valueName = nullptr,
                        const char *defaultValue = nullptr)
{
    return QCommandLineOption(names, QString::fromUtf8(description),
                              valueName ? QString::fromUtf8(valueName) : QString(),
                              defaultValue ? QString::fromUtf8(defaultValue) : QString());
}

} // namespace

#define Q5N_OPTION(function, ...)                                                                                      \
    const QCommandLineOption &function()                                                                               \
    {                                                                                                                  \
        static const QCommandLineOption o = make(__VA_ARGS__);                                                         \
        return o;                                                                                                      \
    }

Q5N_OPTION(json, {"json"}, "the result as one JSON document, texts exactly")
Q5N_OPTION(port, {"port"},
           "a device path, or com1..com6 as the program resolves Com n (Q5NCFG_COM<n>, else the present ports)",
           "DEVICE")
Q5N_OPTION(baud, {"baud"}, "the line's rate (default 9600)", "RATE", "9600")
Q5N_OPTION(parity, {"parity"}, "N, E, O, M or S (default N)", "PARITY", "N")
Q5N_OPTION(dataBits, {"data-bits"}, "7 or 8 (default 8)", "BITS", "8")
Q5N_OPTION(stopBits, {"stop-bits"}, "1 or 2 (default 1)", "BITS", "1")
Q5N_OPTION(output, {"o"}, "the file to write", "FILE")
Q5N_OPTION(into, {"into"}, "the setup or defaults file the decoder's section is put into", "BASE")
Q5N_OPTION(notSave, {"not-save"}, "send without the Save command")
Q5N_OPTION(verify, {"verify"}, "upload the section the decoder returns and compare it with what was sent")
Q5N_OPTION(check, {"check"}, "only compare and report; never download")
Q5N_OPTION(force, {"force"}, "download and verify whatever the comparison finds")
Q5N_OPTION(state, {"state"},
           "the folder of the ports' records of the last verified download (default $XDG_STATE_HOME/q5ncfg, "
           "else ~/.local/state/q5ncfg)",
           "DIR")
Q5N_OPTION(help, (QStringList{"h", "help"}), "this help")

#undef Q5N_OPTION

QList<QCommandLineOption> decoderLine()
{
    return {port(), baud(), parity(), dataBits(), stopBits()};
}

} // namespace q5n::tool::option
