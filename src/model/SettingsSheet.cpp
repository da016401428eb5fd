#include "model/SettingsSheet.h"

#include "model/Comparison.h"
#include "model/FieldNaming.h"
#include "model/PageTable.h"

namespace q5n {

SettingsSheet settingsSheet(const SetupInfo &texts, const LinkSettings &link, const ConfigImage &image,
                            const ConfigImage &defaults)
{
    SettingsSheet sheet;
    sheet.title = QStringLiteral("Q5N Configuration");

    SheetSection setup{QStringLiteral("Setup"), {}};
    setup.rows.push_back({QStringLiteral("File"), texts.fileName, false});
    for (const FieldEntry *e : fieldsOfPage(Page::DecoderInterface))
        if (e->kind == FieldKind::Text && e->text) {
            const QString &value = setupText(texts, *e->text);
            setup.rows.push_back({plainCaption(e->caption), value.isEmpty() ? kEmptyValue : value, false});
        }
    sheet.sections.push_back(std::move(setup));

    // One section per page, in the order the menus list the pages.
    for (const PageInfo &p : pageTable()) {
        SheetSection section{pagePath(p.number), {}};
        if (p.number == Page::Transmit)
            for (const LinkLine line : kLinkLines)
                section.rows.push_back({linkLineCaption(line), linkLineValue(line, link),
                                        linkLineNumber(line, link) != linkLineNumber(line, LinkSettings{})});
        for (const FieldRef &ref : shownFields()) {
            if (ref.entry->page != p.number)
                continue;
            const QString value = shownValue(ref, image);
            section.rows.push_back({fieldCaption(ref), value.isEmpty() ? kEmptyValue : value,
                                    storedBits(ref, image) != storedBits(ref, defaults)});
        }
        if (!section.rows.empty())
            sheet.sections.push_back(std::move(section));
    }
    return sheet;
}

QString sheetHtml(const SettingsSheet &sheet)
{
    QString html = QStringLiteral("<html><head><meta charset=\"utf-8\"><title>%1</title></head><body>")
                       .arg(sheet.title.toHtmlEscaped());
    html += QStringLiteral("<h2>%1</h2>").arg(sheet.title.toHtmlEscaped());
    html += QStringLiteral("<p>%1</p>").arg(kChangedLegend.toHtmlEscaped());
    // HTML folds a run of blanks into one; captions and values keep theirs.
    const auto cell = [](const QString &width, const QString &text) {
        return QStringLiteral("<td width=\"%1\" style=\"white-space: pre-wrap\">%2</td>")
            .arg(width, text.toHtmlEscaped());
    };
    for (const SheetSection &section : sheet.sections) {
        html += QStringLiteral("<h3>%1</h3><table cellspacing=\"0\" cellpadding=\"2\" width=\"100%\">")
                    .arg(section.title.toHtmlEscaped());
        for (const SheetRow &row : section.rows)
            html += QStringLiteral("<tr>") + cell(QStringLiteral("4%"), row.changed ? kChangedMark : QString()) +
                    cell(QStringLiteral("46%"), row.caption) + cell(QStringLiteral("50%"), row.value) +
                    QStringLiteral("</tr>");
        html += QStringLiteral("</table>");
    }
    html += QStringLiteral("</body></html>");
    return html;
}

} // namespace q5n
