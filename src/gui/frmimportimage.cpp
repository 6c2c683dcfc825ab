// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmimportimage.h"

#include "gui/filechooser.h"
#include "gui/logoview.h"
#include "panel/previewcolours.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QSlider>
#include <QVBoxLayout>

#include <utility>

FrmImportImage::FrmImportImage(QImage source, const QString &sourceName, FileChooser &chooser,
                               QWidget *parent)
    : QDialog(parent)
    , m_source(std::move(source))
    , m_chooser(chooser)
    , m_preview(new LogoView(this))
    , m_height(new QButtonGroup(this))
    , m_fit(new QComboBox(this))
    , m_method(new QComboBox(this))
    , m_threshold(new QSlider(Qt::Horizontal, this))
    , m_thresholdValue(new QLabel(this))
    , m_invert(new QCheckBox(QStringLiteral("&Invert"), this))
    , m_output(new QLineEdit(this))
    , m_problem(new QLabel(this))
{
    setObjectName(QStringLiteral("frmImportImage"));
    setWindowTitle(QStringLiteral("Import Image - ") + QFileInfo(sourceName).fileName());

    m_preview->setObjectName(QStringLiteral("importPreview"));
    m_preview->setFixedSize(2 * LogoBitmap::Width, 2 * LogoBitmap::Rows);

    auto *heights = new QHBoxLayout;
    for (const int h : {64, 32}) {
        auto *button = new QRadioButton(QStringLiteral("256 x %1").arg(h), this);
        button->setObjectName(QStringLiteral("optHeight%1").arg(h));
        m_height->addButton(button, h);
        heights->addWidget(button);
    }
    heights->addStretch();
    m_height->button(64)->setChecked(true);

    m_fit->setObjectName(QStringLiteral("cboFit"));
    m_fit->addItem(QStringLiteral("Scale to fit"), int(ImageImport::Fit::Stretch));
    m_fit->addItem(QStringLiteral("Keep aspect"), int(ImageImport::Fit::KeepAspect));
    m_fit->addItem(QStringLiteral("Crop"), int(ImageImport::Fit::Crop));
    m_fit->setCurrentIndex(1);
    m_method->setObjectName(QStringLiteral("cboMethod"));
    m_method->addItem(QStringLiteral("Threshold"));
    m_method->addItem(QStringLiteral("Dithering (Floyd-Steinberg)"));
    m_threshold->setObjectName(QStringLiteral("sldThreshold"));
    m_threshold->setRange(1, 255);
    m_threshold->setValue(128);
    m_invert->setObjectName(QStringLiteral("chkInvert"));
    auto *thresholdRow = new QHBoxLayout;
    thresholdRow->addWidget(m_threshold, 1);
    m_thresholdValue->setMinimumWidth(32);
    thresholdRow->addWidget(m_thresholdValue);

    m_output->setObjectName(QStringLiteral("txtOutput"));
    m_output->setText(ImageImport::outputName(sourceName));
    auto *browse = new QPushButton(QStringLiteral("&Browse..."), this);
    auto *outputRow = new QHBoxLayout;
    outputRow->addWidget(m_output, 1);
    outputRow->addWidget(browse);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Size:"), heights);
    form->addRow(QStringLiteral("&Fit:"), m_fit);
    form->addRow(QStringLiteral("&Method:"), m_method);
    auto *thresholdLabel = new QLabel(QStringLiteral("&Threshold:"), this);
    thresholdLabel->setBuddy(m_threshold);
    form->addRow(thresholdLabel, thresholdRow);
    form->addRow(QString(), m_invert);
    auto *outputLabel = new QLabel(QStringLiteral("&Save as:"), this);
    outputLabel->setBuddy(m_output);
    form->addRow(outputLabel, outputRow);

    m_problem->setObjectName(QStringLiteral("lblProblem"));
    m_problem->setStyleSheet(QStringLiteral("color: rgb(192,0,0);"));
    m_problem->setWordWrap(true);
    m_problem->hide();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_preview, 0, Qt::AlignHCenter);
    layout->addLayout(form);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);

    connect(m_height, &QButtonGroup::idClicked, this, &FrmImportImage::refresh);
    connect(m_fit, &QComboBox::currentIndexChanged, this, &FrmImportImage::refresh);
    connect(m_method, &QComboBox::currentIndexChanged, this, &FrmImportImage::refresh);
    connect(m_threshold, &QSlider::valueChanged, this, &FrmImportImage::refresh);
    connect(m_invert, &QCheckBox::toggled, this, &FrmImportImage::refresh);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString name = m_chooser.saveFileName(this, QStringLiteral("Save Imported Logo"),
                                                    m_output->text(), QStringLiteral("BMP Files (*.bmp)"));
        if (!name.trimmed().isEmpty())
            m_output->setText(name.trimmed());
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &FrmImportImage::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    refresh();
}

ImageImport::Options FrmImportImage::options() const
{
    ImageImport::Options o;
    o.height = m_height->checkedId() == 32 ? 32 : 64;
    o.fit = static_cast<ImageImport::Fit>(m_fit->currentData().toInt());
    o.dither = m_method->currentIndex() == 1;
    o.threshold = m_threshold->value();
    o.invert = m_invert->isChecked();
    return o;
}

void FrmImportImage::setOptions(const ImageImport::Options &options)
{
    m_setting = true;
    m_height->button(options.height == 32 ? 32 : 64)->setChecked(true);
    m_fit->setCurrentIndex(m_fit->findData(int(options.fit)));
    m_method->setCurrentIndex(options.dither ? 1 : 0);
    m_threshold->setValue(options.threshold);
    m_invert->setChecked(options.invert);
    m_setting = false;
    refresh();
}

QString FrmImportImage::outputName() const
{
    return m_output->text().trimmed();
}

void FrmImportImage::setOutputName(const QString &name)
{
    m_output->setText(name);
}

void FrmImportImage::refresh()
{
    if (m_setting)
        return;
    const ImageImport::Options o = options();
    m_thresholdValue->setText(QString::number(o.threshold));
    m_logo = ImageImport::convert(m_source, o);
    m_preview->setLogo(m_logo, o.height, PreviewColours::forFullView(false), QString());
}

QString FrmImportImage::writeOutput() const
{
    QString name = outputName();
    if (name.isEmpty())
        return QStringLiteral("No file name given.");
    if (!name.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive))
        return QStringLiteral("The file name must end in .bmp to be read as a logo.");
    QSaveFile file(name);
    // A folder that takes no new file still lets its files be overwritten.
    file.setDirectWriteFallback(true);
    const QByteArray data = ImageImport::bmpFile(m_logo, options().height);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        return QStringLiteral("Cannot write %1: %2").arg(name, file.errorString());
    return QString();
}

void FrmImportImage::accept()
{
    const QString failure = writeOutput();
    if (!failure.isEmpty()) {
        m_problem->setText(failure);
        m_problem->show();
        return;
    }
    QDialog::accept();
}
