#pragma once

#include <QWidget>
#include <array>

class QScrollArea;
class TDropDownPanelWLabels;

// The column of the task assistant: nine drop-down panels of links in a
// scroll box, top to bottom in index order. The window knows only its
// panels; what a link runs is decided by its owner (TGenericTaskAssistant).
class TfrmTaskAssistant : public QWidget
{
    Q_OBJECT

public:
    static constexpr int PanelCount = 9;
    // The settings key of each panel, by index.
    static const std::array<const char*, PanelCount> PanelKeys;

    explicit TfrmTaskAssistant(QWidget* parent = nullptr);

    TDropDownPanelWLabels* Panel(int index) const { return m_panels.at(size_t(index)); }
    QScrollArea* ScrollBox() const { return sb; }

signals:
    // A link of any panel was clicked.
    void OnClickTaskAssistantLabel(QObject* sender, const QString& labelName, const QString& labelCaption);

private:
    QScrollArea* sb;
    std::array<TDropDownPanelWLabels*, PanelCount> m_panels{};
};
