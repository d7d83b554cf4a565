#pragma once

class QPlainTextEdit;

// The number of lines the memo displays at its current width: a text line
// that word wrap breaks counts once per displayed line, an empty last line
// does not count, and text the user typed counts like any other. It holds
// for a hidden window as well, at the width the memo has or, for a window
// not shown yet, at the width its layout gives it.
int MemoLineCount(QPlainTextEdit* AMemo);
