#include "app/gui/site_strip.h"

#include <QFontMetrics>
#include <QHBoxLayout>

namespace lanqi {
namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Text and background of an entry in each state.
QString styleOf(SiteState state) {
    switch (state) {
        case SiteState::Done:
            return QStringLiteral("QToolButton { color: #1b5e20; background: #e8f5e9; }");
        case SiteState::Failed:
            return QStringLiteral("QToolButton { color: #b71c1c; background: #ffebee; }");
        case SiteState::Waiting:
            return QStringLiteral("QToolButton { color: #455a64; background: #eceff1; }");
        case SiteState::Stopped:
            return QStringLiteral("QToolButton { color: #e65100; background: #fff3e0; }");
        case SiteState::Off:
            return QStringLiteral("QToolButton { color: #9e9e9e; background: #fafafa; }");
        case SiteState::Idle:
            break;
    }
    return QStringLiteral("QToolButton { color: #5f6b6d; }");
}

}  // namespace

SiteStrip::SiteStrip(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addStretch(1);  // the entries keep to the right edge
}

void SiteStrip::showEntries(const std::vector<SiteStripEntry>& entries) {
    auto* row = static_cast<QHBoxLayout*>(layout());
    while (m_entries.size() > entries.size()) {
        delete m_entries.back();
        m_entries.pop_back();
    }
    while (m_entries.size() < entries.size()) {
        auto* entry = new QToolButton(this);
        entry->setAutoRaise(false);
        entry->setFocusPolicy(Qt::TabFocus);
        const size_t index = m_entries.size();
        connect(entry, &QToolButton::clicked, this, [this, index] {
            if (index < m_entries.size()) emit entryActivated(m_entries[index]->property("slot").toInt());
        });
        row->addWidget(entry);
        m_entries.push_back(entry);
    }
    // With many slots the entries share the strip's width.
    const int width = entries.empty()
                          ? 0
                          : std::max(20, std::min(56, (this->width() - 2 * int(entries.size())) / int(entries.size())));
    for (size_t i = 0; i < entries.size(); ++i) {
        QToolButton* entry = m_entries[i];
        entry->setProperty("slot", entries[i].slot);
        entry->setObjectName(QStringLiteral("站点%1").arg(entries[i].slot));
        const QString caption = fromUtf8(entries[i].caption);
        const bool fits = entry->fontMetrics().horizontalAdvance(caption) + 6 <= width;
        entry->setText(fits ? caption : fromUtf8(entries[i].shortCaption));
        entry->setToolTip(fromUtf8(entries[i].text));
        entry->setAccessibleName(fromUtf8(entries[i].text));
        entry->setStyleSheet(styleOf(entries[i].state));
        entry->setFixedSize(width, height());
    }
}

QToolButton* SiteStrip::entryOf(int slot) const {
    for (QToolButton* entry : m_entries)
        if (entry->property("slot").toInt() == slot) return entry;
    return nullptr;
}

}  // namespace lanqi
