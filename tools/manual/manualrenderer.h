// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QSizeF>
#include <QString>

class QPagedPaintDevice;
class QTextDocument;

// Prints the manual, written in Markdown, to a PDF file: A4 pages, a
// contents list with page numbers where the text holds the line @CONTENTS@,
// every top-level chapter on a new page, pictures scaled to the text width,
// and a footer with the page number.
class ManualRenderer
{
public:
    ManualRenderer(QString markdown, QString footer);

    // A picture that the text names as ![caption](images/NAME).
    void addImage(const QString &name, const QImage &image);

    // Returns an empty text on success, else what went wrong.
    QString writePdf(const QString &fileName);
    int pageCount() const { return m_pageCount; }

private:
    // The laid-out manual; pages are the page numbers of the contents list,
    // empty for a first draft.
    void build(QTextDocument &doc, QPagedPaintDevice &device, const QSizeF &body,
               const QList<int> &pages) const;
    void styleDocument(QTextDocument &doc) const;
    void fitImages(QTextDocument &doc, qreal textWidth) const;
    void insertContents(QTextDocument &doc, qreal textWidth, const QList<int> &pages) const;

    QString m_markdown;
    QString m_footer;
    QHash<QString, QImage> m_images;
    int m_pageCount = 0;
};
