// SPDX-License-Identifier: GPL-3.0-or-later
#include "rich_text_panel.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>

#include "markup_parser.h"

namespace ortolan {

namespace {

constexpr int kMargin = 4;

}  // namespace

CRichTextPanel::CRichTextPanel(QWidget* parent)
    : QWidget(parent), m_document(std::make_unique<QTextDocument>())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_document->setDocumentMargin(kMargin);
    Rebuild();
}

CRichTextPanel::~CRichTextPanel() = default;

void CRichTextPanel::SetMarkup(const QString& markup)
{
    if (markup == m_markup) return;
    m_markup = markup;
    Rebuild();
    updateGeometry();
    update();
}

void CRichTextPanel::Rebuild()
{
    m_document->clear();
    m_document->setDefaultFont(font());
    QTextCursor cursor(m_document.get());
    const QByteArray utf8 = m_markup.toUtf8();
    for (const tagTextRun& run : ParseMarkup(std::string(utf8.constData(), static_cast<size_t>(utf8.size())))) {
        if (run.lineBreak) {
            // A line separator keeps one paragraph, so no paragraph spacing
            // creeps in between the status lines.
            cursor.insertText(QString(QChar::LineSeparator));
            continue;
        }
        QTextCharFormat format;
        format.setFontPointSize(run.pointSize);
        format.setForeground(QColor(static_cast<int>((run.color >> 16) & 0xFF),
                                    static_cast<int>((run.color >> 8) & 0xFF), static_cast<int>(run.color & 0xFF)));
        cursor.insertText(QString::fromUtf8(run.text.data(), static_cast<qsizetype>(run.text.size())), format);
    }
    m_document->setTextWidth(width() > 0 ? width() : -1);
}

QString CRichTextPanel::PlainText() const
{
    return m_document->toPlainText().replace(QChar::LineSeparator, QLatin1Char('\n'));
}

QSize CRichTextPanel::sizeHint() const
{
    std::unique_ptr<QTextDocument> copy(m_document->clone());
    copy->setTextWidth(-1);
    QSizeF ideal = copy->size();
    return QSize(static_cast<int>(ideal.width()) + 1, static_cast<int>(ideal.height()) + 1);
}

QSize CRichTextPanel::minimumSizeHint() const
{
    return QSize(40, fontMetrics().height() + 2 * kMargin);
}

void CRichTextPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_document->setTextWidth(width());
}

void CRichTextPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setClipRect(rect());
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, Qt::white);
    m_document->documentLayout()->draw(&painter, context);
}

}  // namespace ortolan
