#pragma once

#include <initializer_list>

class QWidget;

namespace quorral {

// The font every window uses, and the light background of its edit boxes and lists.
void ApplyFormLook(QWidget& form, std::initializer_list<QWidget*> edits);

// Grows a window once by the frame allowance of newer Windows versions; nothing elsewhere.
void AdjustFormForVista(QWidget& form);

} // namespace quorral
