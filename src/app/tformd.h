#pragma once

#include "platform/platform.h"

#include <QWidget>

namespace k4m {

// The main window.
class TformD : public QWidget {
    Q_OBJECT
public:
    TformD(Platform& platform, bool embedded, QWidget* parent = nullptr);

private:
    Platform& m_platform;
    bool m_embedded;
};

} // namespace k4m
