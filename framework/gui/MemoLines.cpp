#include "MemoLines.h"

#include <QCoreApplication>
#include <QLayout>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <limits>

namespace {

// The width the memo lays its text out in. Until the memo is first shown,
// its geometry comes from the window's layout and its viewport has not
// followed yet: the resize that showing would deliver is delivered now.
int ViewportWidth(QPlainTextEdit* AMemo) {
  if (AMemo->testAttribute(Qt::WA_PendingResizeEvent)) {
    QWidget* Window = AMemo->window();
    if (Window->layout() != nullptr) Window->layout()->activate();
    QResizeEvent Resize(AMemo->size(), QSize());
    QCoreApplication::sendEvent(AMemo, &Resize);
  }
  return AMemo->viewport()->width();
}

// Lines of one block, broken the way the memo's document layout breaks them.
int BlockLines(const QTextBlock& ABlock, const QFont& AFont, const QTextOption& AOption,
               qreal AAvailableWidth) {
  if (ABlock.length() <= 1) return 1;
  QTextLayout Layout(ABlock.text(), AFont);
  Layout.setTextOption(AOption);
  Layout.setFormats(ABlock.textFormats());
  int Lines = 0;
  Layout.beginLayout();
  for (QTextLine Line = Layout.createLine(); Line.isValid(); Line = Layout.createLine()) {
    Line.setLineWidth(AAvailableWidth);
    ++Lines;
  }
  Layout.endLayout();
  return Lines;
}

}  // namespace

int MemoLineCount(QPlainTextEdit* AMemo) {
  AMemo->ensurePolished();
  const QTextDocument* Document = AMemo->document();
  const QTextOption Option = Document->defaultTextOption();
  qreal Available = std::numeric_limits<int>::max();
  if (AMemo->lineWrapMode() == QPlainTextEdit::WidgetWidth) {
    const int Width = ViewportWidth(AMemo);
    // A memo without width lays its lines out unbroken, as the document
    // layout does.
    if (Width > 0) Available = Width;
  }
  Available -= 2 * Document->documentMargin();
  if (Option.flags() & QTextOption::AddSpaceForLineAndParagraphSeparators)
    Available -= QFontMetricsF(Document->defaultFont()).horizontalAdvance(QChar(0x21B5));

  int Lines = 0;
  for (QTextBlock Block = Document->begin(); Block.isValid(); Block = Block.next()) {
    const bool EmptyLast = !Block.next().isValid() && Block.length() <= 1;
    if (!EmptyLast) Lines += BlockLines(Block, Document->defaultFont(), Option, Available);
  }
  return Lines;
}
