#pragma once
// The file panels' list as the panel's file model gives it, but with sizes and dates written in
// the application's (Japanese) locale: the model writes them in the system's, which may be
// another language ("1 bytes", "7 Dec 2026").
#include <QIdentityProxyModel>

class FilePanelColumns : public QIdentityProxyModel {
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    // The file model's columns.
    static constexpr int kSizeColumn = 1;
    static constexpr int kDateColumn = 3;

    QVariant data(const QModelIndex& index, int role) const override;
};
