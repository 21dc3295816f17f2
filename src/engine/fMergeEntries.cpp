#include "engine/fMergeEntries.h"

#include "app/IDesktop.h"
#include "controls/ResBitBtn.h"
#include "engine/Category.h"
#include "engine/EntryData.h"
#include "mainwindow/CategoryMenu.h"
#include "settings/dmMain.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

TfrmMergeEntries::TfrmMergeEntries(TdmMain& main, const QList<TEntryData*>& sources, QWidget* parent)
    : QDialog(parent), m_main(main), m_sources(sources)
{
    setObjectName(QStringLiteral("TfrmMergeEntries"));
    setWindowTitle(QStringLiteral("Merge entries"));
    setModal(true);

    rbOneEntry = new QRadioButton(QStringLiteral("Use ALL fields from ONE entry"), this);
    rbOneEntry->setObjectName(QStringLiteral("rbOneEntry"));
    rbOneEntry->setChecked(true);
    chSeparate = new QRadioButton(QStringLiteral("Choose separate values for each field  "), this);
    chSeparate->setObjectName(QStringLiteral("chSeparate"));

    gbOneEntry = new QGroupBox(this);
    gbOneEntry->setObjectName(QStringLiteral("gbOneEntry"));
    coOneEntry = new QComboBox(gbOneEntry);
    coOneEntry->setObjectName(QStringLiteral("coOneEntry"));
    auto* one = new QVBoxLayout(gbOneEntry);
    one->addWidget(coOneEntry);

    gbSeparate = new QGroupBox(this);
    gbSeparate->setObjectName(QStringLiteral("gbSeparate"));
    auto editable = [this](const char* name) {
        auto* combo = new QComboBox(gbSeparate);
        combo->setObjectName(QString::fromLatin1(name));
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        return combo;
    };
    coTitle = editable("coTitle");
    coKeywords = editable("coKeywords");
    coSource = editable("coSource");
    meComments = new QPlainTextEdit(gbSeparate);
    meComments->setObjectName(QStringLiteral("meComments"));
    coCategory = new QComboBox(gbSeparate);
    coCategory->setObjectName(QStringLiteral("coCategory"));
    btnSelectCategory = new QPushButton(QStringLiteral("..."), gbSeparate);
    btnSelectCategory->setObjectName(QStringLiteral("btnSelectCategory"));
    m_categoryMenu = new QMenu(this);
    m_categoryChooser = new TCategoryMenu(main, *m_categoryMenu, this);
    m_categoryChooser->OnCategoryPicked = [this](TCategory* category) { SetChosenCategory(category); };
    connect(btnSelectCategory, &QPushButton::clicked, this,
            [this] { m_categoryMenu->popup(btnSelectCategory->mapToGlobal(QPoint(0, btnSelectCategory->height()))); });
    auto* categoryRow = new QHBoxLayout;
    categoryRow->addWidget(coCategory, 1);
    categoryRow->addWidget(btnSelectCategory);
    auto* fields = new QFormLayout(gbSeparate);
    fields->addRow(QStringLiteral("Title:"), coTitle);
    fields->addRow(QStringLiteral("Keywords:"), coKeywords);
    fields->addRow(QStringLiteral("Source:"), coSource);
    fields->addRow(QStringLiteral("Comments:"), meComments);
    fields->addRow(QStringLiteral("Category:"), categoryRow);
    gbSeparate->hide();

    btnSave = new TResBitBtn(QStringLiteral("Merge!"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnSave->setDefault(true);
    btnCancel = new TResBitBtn(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);

    auto* column = new QVBoxLayout(this);
    column->addWidget(rbOneEntry);
    column->addWidget(chSeparate);
    column->addWidget(gbOneEntry);
    column->addWidget(gbSeparate, 1);
    column->addLayout(buttons);

    for (const TEntryData* source : std::as_const(m_sources)) {
        coOneEntry->addItem(source->Title());
        coTitle->addItem(source->Title());
        if (!source->Keywords().trimmed().isEmpty())
            coKeywords->addItem(source->Keywords());
        if (!source->Source().trimmed().isEmpty())
            coSource->addItem(source->Source());
        if (TCategory* category = source->Category()) {
            const QString path = category->GetPath();
            if (coCategory->findText(path) < 0)
                coCategory->addItem(path, QVariant::fromValue<void*>(category));
        }
    }

    connect(rbOneEntry, &QRadioButton::toggled, this, [this] { UpdateGroups(); });
    connect(coOneEntry, &QComboBox::activated, this, [this](int index) { SelectSource(index); });
    connect(coCategory, &QComboBox::activated, this, [this](int index) {
        m_category = static_cast<TCategory*>(coCategory->itemData(index).value<void*>());
    });
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(520, 420);
}

TfrmMergeEntries::~TfrmMergeEntries() = default;

void TfrmMergeEntries::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    SelectSource(0);
}

void TfrmMergeEntries::UpdateGroups()
{
    gbOneEntry->setVisible(rbOneEntry->isChecked());
    gbSeparate->setVisible(!rbOneEntry->isChecked());
}

void TfrmMergeEntries::SelectSource(int index)
{
    const TEntryData* source = m_sources.value(index);
    if (!source)
        return;
    coOneEntry->setCurrentIndex(index);
    coTitle->setCurrentText(source->Title());
    coKeywords->setCurrentText(source->Keywords());
    coSource->setCurrentText(source->Source());
    meComments->setPlainText(source->Comments());
    m_category = source->Category();
    if (m_category)
        coCategory->setCurrentText(m_category->GetPath());
}

void TfrmMergeEntries::SetChosenCategory(TCategory* category)
{
    if (!category)
        return;
    m_category = category;
    const QString path = category->GetPath();
    int index = coCategory->findText(path);
    if (index < 0) {
        coCategory->addItem(path, QVariant::fromValue<void*>(category));
        index = coCategory->count() - 1;
    }
    coCategory->setCurrentIndex(index);
}

TEntryManager::TMergeValues TfrmMergeEntries::Values() const
{
    return {coTitle->currentText(), coKeywords->currentText(), coSource->currentText(), meComments->toPlainText(),
            m_category};
}

void TfrmMergeEntries::btnSaveClick()
{
    IDesktop& desktop = m_main.Desktop();
    if (coTitle->currentText().trimmed().isEmpty()) {
        desktop.ShowMessage(QStringLiteral("You must enter a title for the entry before saving it."),
                            IDesktop::TMsgKind::Information);
        // The field lives in the separate values: they are shown to type it.
        chSeparate->setChecked(true);
        coTitle->setFocus();
        return;
    }
    if (!m_category) {
        desktop.ShowMessage(QStringLiteral("You must select a category before saving the entry."),
                            IDesktop::TMsgKind::Information);
        return;
    }
    accept();
}

std::optional<TEntryManager::TMergeValues> TfrmMergeEntries::Execute(TdmMain& main, const QList<TEntryData*>& sources,
                                                                     QWidget* parent)
{
    TfrmMergeEntries dialog(main, sources, parent);
    dialog.SelectSource(0);
    const int result = ExecuteHook ? ExecuteHook(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return std::nullopt;
    return dialog.Values();
}
