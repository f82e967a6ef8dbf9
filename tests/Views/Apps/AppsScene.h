#pragma once
// The main window on one sub-tab of the Apps tab over a fixture home, on stepped
// clocks, and the pictures of it.
#include <QCoreApplication>

#include "Models/Clean/CleanTestSupport.h"
#include "Views/Apps/AppsView.h"
#include "Views/Clean/BlackHole.h"
#include "Views/Clean/HeroText.h"
#include "Views/Kit/ScreenStack.h"
#include "Views/TestSupport.h"

template <class Screen>
struct AppsScene {
    // Between two shooting stars, so no streak crosses the pictures.
    static constexpr double pictureTime = 11.0 * 72000000 + 4.5;
    fakehome::FakeHome home;
    steppedtime::Clocks clocks{Platform::dateFromReferenceSeconds(pictureTime)};
    cleantest::FakeAudio audio;
    Fixture f;
    std::unique_ptr<ContentView> view;

    // Shows the window once the scene has laid out the home and the state.
    void show(AppsMode mode) {
        f.state->setTab(AppTab::apps);
        f.state->setAppsMode(mode);
        view = std::make_unique<ContentView>(*f.state, Preferences::shared(), *f.login);
        view->resize(1000, 680);
        view->show();
        QCoreApplication::sendPostedEvents();
    }
    Screen& screen() const {
        return *qobject_cast<Screen*>(qobject_cast<AppsView*>(view->screens()->screen())->screen());
    }
    // Lets `seconds` of stepped time pass, the hero's frames drawn as they fall due.
    void run(double seconds) {
        for (int i = 0; i < int(std::lround(seconds / 0.05)); ++i) {
            QCoreApplication::processEvents();
            clocks.advance(0.05);
            deliverDueFrames(screen().hero()->timeline());
        }
        QCoreApplication::processEvents();
    }
    QImage keep(const QString& name) {
        const QImage img = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_TRUE(keepScreenshot(img, name));
        return img;
    }
};
