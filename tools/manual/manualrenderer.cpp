// SPDX-License-Identifier: GPL-3.0-or-later
#include "manualrenderer.h"

#include <QAbstractTextDocumentLayout>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

const QString kContentsMark = QStringLiteral("@CONTENTS@");
const QColor kHeading(0x1f, 0x3a, 0x93);
const QColor kTableHeader(0xe6, 0xea, 0xf4);
const QColor kCodeBack(0xf2, 0xf2, 0xf2);
const QColor kFooter(0x60, 0x60, 0x60);

QFont bodyFont(qreal points)
{
    QFont font;
    font.setFamilies(
        {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    return font;
}

// Headings of level 1 and 2 after the title, in order: the contents list.
QList<QTextBlock> contentsHeadings(const QTextDocument &doc)
{
    QList<QTextBlock> headings;
    bool title = true;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level < 1 || level > 2)
            continue;
        if (title) {
            title = false;
            continue;
        }
        if (block.text().trimmed() == QLatin1String("Contents"))
            continue;
        headings << block;
    }
    return headings;
}

const qreal sizes[] = {0, 20, 14, 11.5, 10.5, 10, 10};

// Changes the character formats of a block's fragments; change returns false
// to leave a fragment as it is.
void restyle(QTextDocument &doc, const QTextBlock &block,
             const std::function<bool(QTextCharFormat &)> &change)
{
    QList<std::pair<QTextFragment, QTextCharFormat>> changes;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        QTextCharFormat chars = it.fragment().charFormat();
        if (change(chars))
            changes.append({it.fragment(), chars});
    }
    for (const auto &[fragment, chars] : changes) {
        QTextCursor select(&doc);
        select.setPosition(fragment.position());
        select.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
        select.setCharFormat(chars);
    }
}

// Shares a table's width among its columns: a column of short texts gets
// what its longest text needs, the columns of long texts share the rest by
// their length; no column is narrower than its longest word.
QList<QTextLength> columnWidths(const QTextTable &table)
{
    constexpr qreal lineCapacity = 85; // characters on one line of text
    constexpr qreal shortText = 28;
    const int columns = table.columns();
    QList<qreal> natural(columns, 1);
    QList<qreal> word(columns, 1);
    for (int row = 0; row < table.rows(); ++row) {
        for (int column = 0; column < columns; ++column) {
            const QTextTableCell cell = table.cellAt(row, column);
            QTextCursor text = cell.firstCursorPosition();
            text.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
            const QString content = text.selectedText();
            natural[column] = std::max<qreal>(natural[column], std::min<qsizetype>(content.size(), 200));
            for (const QString &part : content.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                word[column] = std::max<qreal>(word[column], (part.size() + 2) * 1.2);
        }
    }
    QList<qreal> widths(columns, 0);
    qreal used = 0;
    qreal longTotal = 0;
    for (int column = 0; column < columns; ++column) {
        if (natural[column] <= shortText) {
            // Room for bold type and the cell's padding.
            widths[column] = std::max((natural[column] + 2) * 1.2, word[column]);
            used += widths[column];
        } else {
            longTotal += natural[column];
        }
    }
    const qreal rest = std::max(lineCapacity - used, lineCapacity / 3);
    for (int column = 0; column < columns; ++column) {
        if (natural[column] > shortText)
            widths[column] = std::max({rest * natural[column] / longTotal, word[column],
                                       std::min<qreal>(natural[column], 24) * 1.1});
    }
    qreal total = 0;
    for (qreal width : widths)
        total += width;
    QList<QTextLength> lengths;
    for (qreal width : widths)
        lengths << QTextLength(QTextLength::PercentageLength, 100 * width / total);
    return lengths;
}

// Left margins of blocks are in units of the paint device (the other
// margins are in pixels of a 96-dpi screen, scaled by the layout).
qreal points(const QTextDocument &doc, qreal value)
{
    return value * doc.documentLayout()->paintDevice()->logicalDpiY() / 72.0;
}

} // namespace

ManualRenderer::ManualRenderer(QString markdown, QString footer)
    : m_markdown(std::move(markdown))
    , m_footer(std::move(footer))
{
}

void ManualRenderer::addImage(const QString &name, const QImage &image)
{
    m_images.insert(name, image);
}

void ManualRenderer::build(QTextDocument &doc, QPagedPaintDevice &device, const QSizeF &body,
                           const QList<int> &pages) const
{
    doc.documentLayout()->setPaintDevice(&device);
    doc.setDefaultFont(bodyFont(10));
    for (auto it = m_images.cbegin(); it != m_images.cend(); ++it)
        doc.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("images/") + it.key()), it.value());
    doc.setMarkdown(m_markdown);
    doc.setDocumentMargin(0);
    styleDocument(doc);
    fitImages(doc, body.width());
    insertContents(doc, body.width(), pages);
    // The finished text is laid out on pages in one go; it must not change
    // afterwards.
    doc.setPageSize(body);
    doc.pageCount();
}

QString ManualRenderer::writePdf(const QString &fileName)
{
    QPdfWriter writer(fileName);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(22, 18, 22, 14), QPageLayout::Millimeter));
    writer.setTitle(QStringLiteral("Quillon Operator's Manual"));
    writer.setCreator(QStringLiteral("quillon-manual"));
    const qreal dpi = writer.logicalDpiY();
    const qreal footerHeight = dpi * 0.35;
    const QSizeF body(writer.width(), writer.height() - footerHeight);

    // First the pages on which the chapters begin, then the manual with
    // those numbers in its contents list: the digits do not move a line.
    QList<int> pages;
    {
        QTextDocument draft;
        build(draft, writer, body, pages);
        for (const QTextBlock &heading : contentsHeadings(draft))
            pages << static_cast<int>(draft.documentLayout()->blockBoundingRect(heading).top()
                                      / body.height())
                         + 1;
    }
    QTextDocument doc;
    build(doc, writer, body, pages);
    m_pageCount = doc.pageCount();

    QPainter painter;
    if (!painter.begin(&writer))
        return QStringLiteral("cannot write %1").arg(fileName);
    const QFont footerFont = bodyFont(8);
    for (int page = 0; page < m_pageCount; ++page) {
        if (page > 0)
            writer.newPage();
        painter.save();
        const QRectF view(0, page * body.height(), body.width(), body.height());
        painter.translate(0, -view.top());
        painter.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = view;
        doc.documentLayout()->draw(&painter, context);
        painter.restore();

        if (page == 0)
            continue;
        painter.save();
        painter.setFont(QFont(footerFont, &writer));
        painter.setPen(QPen(kFooter, dpi / 200));
        const qreal top = writer.height() - footerHeight * 0.55;
        painter.drawLine(QPointF(0, top), QPointF(body.width(), top));
        const QRectF line(0, top + dpi * 0.03, body.width(), footerHeight * 0.5);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignTop, m_footer);
        painter.drawText(line, Qt::AlignRight | Qt::AlignTop,
                         QStringLiteral("Page %1 of %2").arg(page + 1).arg(m_pageCount));
        painter.restore();
    }
    if (!painter.end())
        return QStringLiteral("cannot finish %1").arg(fileName);
    return QString();
}

void ManualRenderer::styleDocument(QTextDocument &doc) const
{
    bool firstChapter = true;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        const int level = format.headingLevel();
        if (level > 0) {
            // The Markdown reader sizes headings relative to the body; the
            // manual gives them sizes of their own.
            restyle(doc, block, [level](QTextCharFormat &chars) {
                chars.clearProperty(QTextFormat::FontSizeAdjustment);
                chars.setFontPointSize(sizes[std::min(level, 6)]);
                chars.setFontWeight(QFont::Bold);
                chars.setForeground(level <= 2 ? kHeading : QColor(Qt::black));
                return true;
            });
            format.setTopMargin(level == 1 ? 0 : level == 2 ? 14 : 9);
            format.setBottomMargin(level == 1 ? 12 : 5);
            format.setPageBreakPolicy(level == 1 && !firstChapter ? QTextFormat::PageBreak_AlwaysBefore
                                                                  : QTextFormat::PageBreak_Auto);
            if (level == 1)
                firstChapter = false;
            QTextCursor(block).setBlockFormat(format);
        } else if (format.hasProperty(QTextFormat::BlockCodeFence) || format.nonBreakableLines()) {
            format.setBackground(kCodeBack);
            format.setLeftMargin(points(doc, 6));
            QTextCursor(block).setBlockFormat(format);
        } else if (!block.textList() && !QTextCursor(block).currentTable()) {
            format.setBottomMargin(6);
            QTextCursor(block).setBlockFormat(format);
        }
    }

    // Inline code and code blocks: a monospaced face that is sure to exist.
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const bool codeBlock = block.blockFormat().hasProperty(QTextFormat::BlockCodeFence);
        restyle(doc, block, [codeBlock](QTextCharFormat &chars) {
            if (!codeBlock && !chars.fontFixedPitch())
                return false;
            chars.setFontFamilies(QStringList{QStringLiteral("DejaVu Sans Mono"),
                                              QStringLiteral("Liberation Mono"),
                                              QStringLiteral("Monospace")});
            chars.setFontPointSize(9);
            return true;
        });
    }

    // Tables: thin ruled grid over the whole text width, shaded header row.
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QTextTable *table = QTextCursor(block).currentTable();
        if (!table || table->firstCursorPosition().block() != block)
            continue;
        QTextTableFormat format = table->format();
        format.setBorder(0.6);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderBrush(QColor(0x90, 0x90, 0x90));
        format.setBorderCollapse(true);
        format.setCellSpacing(0);
        format.setCellPadding(4);
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        format.setColumnWidthConstraints(columnWidths(*table));
        format.setHeaderRowCount(1);
        format.setTopMargin(4);
        format.setBottomMargin(8);
        table->setFormat(format);
        for (int column = 0; column < table->columns(); ++column) {
            QTextTableCell cell = table->cellAt(0, column);
            QTextCharFormat cellFormat = cell.format();
            cellFormat.setBackground(kTableHeader);
            cell.setFormat(cellFormat);
        }
    }
}

void ManualRenderer::fitImages(QTextDocument &doc, qreal textWidth) const
{
    // Image sizes are in pixels of a 96-dpi screen; the layout scales them
    // to the printer.
    const qreal widest = textWidth / doc.documentLayout()->paintDevice()->logicalDpiX() * 96.0;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        bool hasImage = false;
        restyle(doc, block, [&](QTextCharFormat &chars) {
            if (!chars.isImageFormat())
                return false;
            QTextImageFormat image = chars.toImageFormat();
            const QImage picture = m_images.value(QFileInfo(image.name()).fileName());
            if (picture.isNull())
                return false;
            QSizeF size = QSizeF(picture.size()) / picture.devicePixelRatio();
            if (size.width() > widest)
                size *= widest / size.width();
            image.setWidth(size.width());
            image.setHeight(size.height());
            chars = image;
            hasImage = true;
            return true;
        });
        if (hasImage) {
            QTextBlockFormat centred = block.blockFormat();
            centred.setAlignment(Qt::AlignHCenter);
            centred.setTopMargin(6);
            centred.setBottomMargin(8);
            QTextCursor(block).setBlockFormat(centred);
        }
    }
}

void ManualRenderer::insertContents(QTextDocument &doc, qreal textWidth, const QList<int> &pages) const
{
    // Tab positions are in pixels of a 96-dpi screen, left margins in device
    // units.
    const qreal width = textWidth / doc.documentLayout()->paintDevice()->logicalDpiX() * 96.0;
    QTextBlock mark;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block.text().trimmed() == kContentsMark) {
            mark = block;
            break;
        }
    }
    if (!mark.isValid())
        return;
    const QList<QTextBlock> headings = contentsHeadings(doc);
    QTextCursor cursor(mark);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    const qreal indent = points(doc, 14);
    const qreal indentPixels = indent / doc.documentLayout()->paintDevice()->logicalDpiX() * 96.0;
    for (qsizetype i = 0; i < headings.size(); ++i) {
        const bool chapter = headings[i].blockFormat().headingLevel() == 1;
        QTextBlockFormat line;
        line.setLeftMargin(chapter ? 0 : indent);
        line.setTopMargin(chapter && i > 0 ? 5 : 0);
        line.setTabPositions(
            {QTextOption::Tab(width - (chapter ? 0 : indentPixels) - 1, QTextOption::RightTab)});
        QTextCharFormat chars;
        chars.setFontWeight(chapter ? QFont::Bold : QFont::Normal);
        if (i > 0)
            cursor.insertBlock(line, chars);
        else {
            cursor.setBlockFormat(line);
            cursor.setCharFormat(chars);
        }
        const QString page = i < pages.size() ? QString::number(pages[i]) : QStringLiteral("00");
        cursor.insertText(headings[i].text() + QLatin1Char('\t') + page, chars);
    }
}
