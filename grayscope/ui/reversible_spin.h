// ReversibleSpin: a spin box whose arrows can run the other way, so that a
// spin follows the screen direction (image rows count downwards on screen,
// so "up" lowers a row number).
#pragma once

#include <QSpinBox>

namespace grayscope {

class ReversibleSpin : public QSpinBox {
public:
    using QSpinBox::QSpinBox;
    void SetReversed(bool reversed) { reversed_ = reversed; }
    void stepBy(int steps) override { QSpinBox::stepBy(reversed_ ? -steps : steps); }

private:
    bool reversed_ = false;
};

}  // namespace grayscope
