#include "VWidgetOperator.h"

#include "VGiftListMgr.h"
#include "VHttpComm.h"
#include "VLogText.h"
#include "VReplyReader.h"
#include "vErrorInfo.h"
#include "vNoblePrivilegeMgr.h"

#include <QAbstractButton>
#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPixmap>
#include <QPointer>
#include <QSaveFile>
#include <QtDebug>

using QtPromise::QPromise;
using QtPromise::QPromiseReject;
using QtPromise::QPromiseResolve;

namespace {
QAtomicInt liveOperators;

VWidgetOperator::Download &downloadSeam()
{
    static VWidgetOperator::Download seam;
    return seam;
}

const int kDownloadTimeoutMs = 10000;

QImage readImage(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.read();
}

// A path from the data tables may only name a file below the working folder.
bool isSafeCachePath(const QString &path)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path) || path.startsWith(QLatin1Char(':')))
        return false;
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(path));
    return clean != QLatin1String("..") && !clean.startsWith(QLatin1String("../"));
}

bool saveDownload(const QString &path, const QByteArray &bytes)
{
    if (!isSafeCachePath(path)) {
        qWarning() << "[WidgetOperator] not keeping a download at" << VLogText::cut(path);
        return false;
    }
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qWarning() << "[WidgetOperator] cannot keep the download at" << VLogText::cut(path);
        return false;
    }
    return true;
}
} // namespace

VWidgetOperator::VWidgetOperator(QObject *parent) : QObject(parent)
{
    liveOperators.ref();
}

VWidgetOperator::~VWidgetOperator()
{
    liveOperators.deref();
}

int VWidgetOperator::liveCount()
{
    return liveOperators.loadRelaxed();
}

void VWidgetOperator::setDownloadSeam(Download download)
{
    downloadSeam() = std::move(download);
}

QPromise<void> VWidgetOperator::setGiftImage(QObject *target, const QString &giftId, int width, int height)
{
    VWidgetOperation operation;
    operation.target = target;
    operation.imageUrl = VGiftListMgr::getInstance()->getGiftImageUrlById(giftId);
    operation.imagePath = VGiftListMgr::getInstance()->getGiftImagePathById(giftId);
    operation.width = width;
    operation.height = height;
    return run(operation, Kind::Sized);
}

QPromise<void> VWidgetOperator::setNobilityImage(QObject *target, const QString &key, int level, int width,
                                                 int height)
{
    VWidgetOperation operation;
    operation.target = target;
    operation.imageUrl = vNoblePrivilegeMgr::getInstance()->getNobilityImageUrlById(level, key);
    operation.imagePath = vNoblePrivilegeMgr::getInstance()->getNobilityImagePathById(level, key);
    operation.width = width;
    operation.height = height;
    return run(operation, Kind::Sized);
}

QPromise<void> VWidgetOperator::setImage(QObject *target, const QString &path, const QString &url, int width,
                                         int height)
{
    VWidgetOperation operation;
    operation.target = target;
    operation.imagePath = path;
    operation.imageUrl = url;
    operation.width = width;
    operation.height = height;
    return run(operation, Kind::Sized);
}

QPromise<void> VWidgetOperator::setGiftImageStyle(QObject *target, const QString &giftId, const QString &styleText)
{
    VWidgetOperation operation;
    operation.target = target;
    operation.imageUrl = VGiftListMgr::getInstance()->getGiftImageUrlById(giftId);
    operation.imagePath = VGiftListMgr::getInstance()->getGiftImagePathById(giftId);
    operation.styleText = styleText;
    return run(operation, Kind::Style);
}

QPromise<void> VWidgetOperator::setGiftImageKeepRatio(QObject *target, const QString &giftId, int width, int height)
{
    VWidgetOperation operation;
    operation.target = target;
    operation.imagePath = VGiftListMgr::getInstance()->getGiftImagePathById(giftId);
    operation.imageUrl = VGiftListMgr::getInstance()->getGiftImageUrlById(giftId);
    operation.width = width;
    operation.height = height;
    return run(operation, Kind::KeepRatio);
}

QPromise<void> VWidgetOperator::run(const VWidgetOperation &operation, Kind kind)
{
    auto *op = new VWidgetOperator();
    return op->operate(operation, kind).finally([op] { op->deleteLater(); });
}

QPromise<void> VWidgetOperator::operateImage(const VWidgetOperation &operation)
{
    return operate(operation, Kind::Sized);
}

QPromise<void> VWidgetOperator::operateStyle(const VWidgetOperation &operation)
{
    return operate(operation, Kind::Style);
}

QPromise<void> VWidgetOperator::operateKeepRatio(const VWidgetOperation &operation)
{
    return operate(operation, Kind::KeepRatio);
}

QPromise<void> VWidgetOperator::operate(const VWidgetOperation &operation, Kind kind)
{
    m_operation = operation;
    if (!m_operation.target)
        return QPromise<void>::reject(vErrorInfo(QStringLiteral("no target for the image"), -1));
    QPointer<VWidgetOperator> self(this);
    return loadImage().then([self, kind](const QImage &image) {
        if (!self)
            return;
        if (!self->m_operation.target) {
            qDebug() << "[WidgetOperator] target gone before its image arrived";
            return;
        }
        self->apply(image, kind);
    });
}

QPromise<QImage> VWidgetOperator::loadImage()
{
    const QString path = m_operation.imagePath;
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        const QImage image = readImage(path);
        if (!image.isNull())
            return QPromise<QImage>::resolve(image);
        qWarning() << "[WidgetOperator] unreadable image" << VLogText::cut(path) << "- trying the download";
    }
    const QUrl url(m_operation.imageUrl, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        qWarning() << "[WidgetOperator] no image at" << VLogText::cut(path) << "and no download address"
                   << VLogText::cut(m_operation.imageUrl);
        return QPromise<QImage>::reject(vErrorInfo(QStringLiteral("image not found"), -1));
    }
    return download(url).then([path](const QByteArray &bytes) {
        QImage image = QImage::fromData(bytes);
        if (image.isNull())
            throw vErrorInfo(QStringLiteral("downloaded data is no image"), -1);
        saveDownload(path, bytes);
        return image;
    });
}

QPromise<QByteArray> VWidgetOperator::download(const QUrl &url)
{
    if (downloadSeam())
        return downloadSeam()(url);
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(kDownloadTimeoutMs);
    VReplyReader::prepare(request);
    QNetworkReply *reply = m_network->get(request);
    return QPromise<QByteArray>([reply](const QPromiseResolve<QByteArray> &resolve,
                                        const QPromiseReject<QByteArray> &reject) {
        // Capped as the HTTP replies are: no image is anywhere near, and an answer is never
        // held past one byte over the cap, compressed or not.
        VReplyReader::collect(reply, VHttpComm::kMaxReplyBytes, reply,
                              [resolve, reject](QNetworkReply *reply, const VReplyBody &received) {
            reply->deleteLater();
            if (received.failed() || reply->error() != QNetworkReply::NoError) {
                const QString why = received.failed() ? received.failure() : reply->errorString();
                qWarning() << "[WidgetOperator] download failed" << VLogText::cut(reply->url().toString())
                           << VLogText::cut(why);
                reject(vErrorInfo(why, received.failed() ? -1 : int(reply->error())));
                return;
            }
            resolve(received.body());
        });
    });
}

void VWidgetOperator::apply(const QImage &image, Kind kind)
{
    QObject *target = m_operation.target;
    const QSize size(m_operation.width, m_operation.height);
    QPixmap pixmap = QPixmap::fromImage(image);
    if (kind != Kind::Style && size.width() > 0 && size.height() > 0)
        pixmap = pixmap.scaled(size, kind == Kind::KeepRatio ? Qt::KeepAspectRatio : Qt::IgnoreAspectRatio,
                               Qt::SmoothTransformation);

    if (kind == Kind::Style) {
        auto *widget = qobject_cast<QWidget *>(target);
        if (!widget)
            throw vErrorInfo(QStringLiteral("style target is no widget"), -1);
        // A style sheet can only name a file, so the image must be at the local path by now.
        if (!QFileInfo(m_operation.imagePath).isFile())
            throw vErrorInfo(QStringLiteral("image not kept locally"), -1);
        widget->setStyleSheet(QString(m_operation.styleText).replace(QLatin1String("%1"), m_operation.imagePath));
    } else if (auto *label = qobject_cast<QLabel *>(target)) {
        label->setPixmap(pixmap);
    } else if (auto *button = qobject_cast<QAbstractButton *>(target)) {
        button->setIcon(QIcon(pixmap));
        button->setIconSize(pixmap.size());
    } else {
        throw vErrorInfo(QStringLiteral("target takes no image"), -1);
    }
}
