// Run by the build: writes the program's help and version texts, as
// CommandLine words them, into a header for the `vantorel` command, which
// prints them without loading Qt. One place declares the options.
//
//   vantorel_program_texts OUTPUT_HEADER

#include "app/CommandLine.h"

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace {
// A C string literal of any bytes: octal escapes for all but plain ASCII.
QByteArray literal(const QString &text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && c != '"' && c != '\\' && c != '?')
            out += c;
        else
            out += QByteArray("\\") + QByteArray::number(byte, 8).rightJustified(3, '0');
    }
    return out + '"';
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    CommandLine::nameTheProgram();
    const QByteArray header = "#pragma once\n\n// Written by the build (vantorel_program_texts): do not edit.\n"
                              "namespace ProgramTexts {\n"
                              "inline constexpr char help[] = "
        + literal(CommandLine::helpText()) + ";\ninline constexpr char version[] = "
        + literal(CommandLine::versionText()) + ";\n} // namespace ProgramTexts\n";
    FILE *out = std::fopen(argv[1], "w");
    if (!out)
        return 1;
    const bool written = std::fwrite(header.constData(), 1, size_t(header.size()), out) == size_t(header.size());
    return std::fclose(out) == 0 && written ? 0 : 1;
}
