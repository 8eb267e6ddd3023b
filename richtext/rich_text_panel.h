// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The status panel: draws the status mark-up (see markup_parser.h) on black,
// wrapping lines that do not fit. The mark-up is parsed by our own parser,
// never handed to Qt's HTML reader, so no text can pull in images or links.
#include <QString>
#include <QWidget>
#include <memory>

class QTextDocument;

namespace ortolan {

class CRichTextPanel : public QWidget {
    Q_OBJECT
public:
    explicit CRichTextPanel(QWidget* parent = nullptr);
    ~CRichTextPanel() override;

    void SetMarkup(const QString& markup);
    const QString& Markup() const { return m_markup; }
    // The text as shown, line breaks as '\n'.
    QString PlainText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Rebuild();

    QString m_markup;
    std::unique_ptr<QTextDocument> m_document;
};

}  // namespace ortolan
