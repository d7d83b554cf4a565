#pragma once

class QWidget;

// Gives a window and its controls the designed font: 宋体, 12 pixels high.
void UseDesignedFont(QWidget* AForm);
