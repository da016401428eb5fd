#pragma once

#include <QCommandLineOption>
#include <QList>

// Every option of q5ntool, declared once; the command table gives each
// command the ones it takes.
namespace q5n::tool::option {

const QCommandLineOption &json();
const QCommandLineOption &port();
const QCommandLineOption &baud();
const QCommandLineOption &parity();
const QCommandLineOption &dataBits();
const QCommandLineOption &stopBits();
const QCommandLineOption &output(); // -o
const QCommandLineOption &into();
const QCommandLineOption &notSave();
const QCommandLineOption &verify();
const QCommandLineOption &check();
const QCommandLineOption &force();
const QCommandLineOption &state();
const QCommandLineOption &help(); // every command takes it

// --port, then the serial options (--baud, --parity, --data-bits, --stop-bits):
// every command on decoders takes them.
QList<QCommandLineOption> decoderLine();

} // namespace q5n::tool::option
