#pragma once

#include "VWidgetOperation.h"

#include <QtPromise>

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;

// Puts a gift or nobility image onto a widget: the local file when it can be read, otherwise
// the download (kept at the local path for next time), refused past the HTTP replies' cap. One
// short-lived operator per call, deleted when its promise settles.
class VWidgetOperator : public QObject
{
    Q_OBJECT
public:
    using Download = std::function<QtPromise::QPromise<QByteArray>(const QUrl &url)>;

    explicit VWidgetOperator(QObject *parent = nullptr);
    ~VWidgetOperator() override;

    // Labels get the pixmap, buttons the icon, at exactly width x height (0 keeps the image size).
    static QtPromise::QPromise<void> setGiftImage(QObject *target, const QString &giftId, int width, int height);
    static QtPromise::QPromise<void> setNobilityImage(QObject *target, const QString &key, int level, int width,
                                                      int height);
    static QtPromise::QPromise<void> setImage(QObject *target, const QString &path, const QString &url, int width,
                                              int height);
    // The widget's style sheet becomes the style text with "%1" replaced by the local image path.
    static QtPromise::QPromise<void> setGiftImageStyle(QObject *target, const QString &giftId,
                                                       const QString &styleText);
    // As setGiftImage, but the image keeps its aspect ratio inside width x height.
    static QtPromise::QPromise<void> setGiftImageKeepRatio(QObject *target, const QString &giftId, int width,
                                                           int height);

    QtPromise::QPromise<void> operateImage(const VWidgetOperation &operation);
    QtPromise::QPromise<void> operateStyle(const VWidgetOperation &operation);
    QtPromise::QPromise<void> operateKeepRatio(const VWidgetOperation &operation);

    const VWidgetOperation &operation() const { return m_operation; }

    // Test seam: downloads go through this function while it is set.
    static void setDownloadSeam(Download download);
    // Operators alive right now.
    static int liveCount();

private:
    enum class Kind { Sized, Style, KeepRatio };

    static QtPromise::QPromise<void> run(const VWidgetOperation &operation, Kind kind);
    QtPromise::QPromise<void> operate(const VWidgetOperation &operation, Kind kind);
    // The image: the local file, else the download (saved at the local path when it is safe).
    QtPromise::QPromise<QImage> loadImage();
    QtPromise::QPromise<QByteArray> download(const QUrl &url);
    void apply(const QImage &image, Kind kind);

    VWidgetOperation m_operation;
    QNetworkAccessManager *m_network = nullptr;
};
