// A label (StaticText1 to StaticText10) that takes the width of its text
// whenever the text is set; position and height stay.
#pragma once

#include <QLabel>

namespace rivek {

class StaticText : public QLabel {
    Q_OBJECT

public:
    explicit StaticText(QWidget* parent = nullptr);

    void SetText(const QString& text);
};

}  // namespace rivek
