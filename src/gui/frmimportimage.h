// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logo/imageimport.h"

#include <QDialog>
#include <QImage>

class FileChooser;
class LogoView;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

// File → Import Image: a picture of any size and depth made into a logo, the
// result shown live as the fit, threshold or dithering and inversion change.
// OK writes the 1-bit bitmap file; the main window then loads it into the
// current slot like any logo file.
class FrmImportImage : public QDialog
{
    Q_OBJECT

public:
    FrmImportImage(QImage source, const QString &sourceName, FileChooser &chooser, QWidget *parent);

    ImageImport::Options options() const;
    void setOptions(const ImageImport::Options &options);
    QString outputName() const;
    void setOutputName(const QString &name);
    const LogoBitmap &logo() const { return m_logo; }

    // Writes the file; the reason on failure, else empty.
    QString writeOutput() const;

    void accept() override;

private:
    void refresh();

    QImage m_source;
    FileChooser &m_chooser;
    LogoBitmap m_logo;
    LogoView *m_preview;
    QButtonGroup *m_height;
    QComboBox *m_fit;
    QComboBox *m_method;
    QSlider *m_threshold;
    QLabel *m_thresholdValue;
    QCheckBox *m_invert;
    QLineEdit *m_output;
    QLabel *m_problem;
    bool m_setting = false;
};
