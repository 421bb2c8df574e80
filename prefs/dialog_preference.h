// CDialogPreference: the preferences for what follows a transfer (nothing,
// the RAW developer application found at start-up, or another program),
// where pictures are stored (the camera's card, a folder of this computer,
// or both) and how transferred pictures are renamed (prefix, start number,
// number of digits).
//
// The dialog edits a copy of the settings. OK checks every value first (a
// bad one is named in a message and the dialog stays open), then writes the
// preferences keys to the settings file and only then puts the new values
// into the settings object held in memory. Cancel changes nothing, neither
// in the file nor in memory. The settings file itself is never read here:
// it is read once, at start-up.
//
// How the main window opens it, from its Preferences menu:
//
//   kvx::prefs::CDialogPreference dlg(this, host.Settings(), host.SettingsPath(),
//                                     host.ReviewApplication());
//   if (dlg.exec() == QDialog::Accepted) {
//       // The next picture uses the new folder, names and review program:
//       transfer.SetNamingOptions(dlg.Naming());   // the session's transfer
//       engine.SetCaptureDestination(s.inCamera != 0, s.inPC != 0);
//       QueueCommand(VARNO::MakeCaptureDestinationCommand(s.inCamera != 0, s.inPC != 0));
//       RefreshCaptureControls();                  // DestinationChanged() tells whether
//   }                                              // card / PC / folder changed
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/app_settings.h"
#include "engine/picture_namer.h"
#include "prefs/picture_dialog.h"

class CGdipButton;
class QLabel;
class QLineEdit;

namespace kvx::prefs {

class CDialogPreference : public CPictureDialog {
    Q_OBJECT
public:
    static constexpr int kBackground = 153;

    // Picks a file or folder; none when the user cancels. Defaults: the
    // system's file dialog for the program, CDialogFolder for the folder.
    using Chooser = std::function<std::optional<std::string>(const std::string& current)>;

    // settings: the object held in memory that OK updates; settingsFile:
    // where OK writes the preferences keys; rawDeveloper: the RAW developer
    // application found at start-up, if any.
    CDialogPreference(QWidget* parent, engine::AppSettings& settings, std::string settingsFile,
                      std::optional<std::string> rawDeveloper);

    // After OK: whether the card / PC choice or the destination folder
    // differs from before (the camera must be told, the capture controls
    // refreshed).
    bool DestinationChanged() const { return destinationChanged_; }
    // The naming, storage and review choices as the transfer takes them,
    // from the settings held in memory.
    engine::NamingOptions Naming() const;

    void SetApplicationChooser(Chooser choose) { chooseApplication_ = std::move(choose); }
    void SetFolderChooser(Chooser choose) { chooseFolder_ = std::move(choose); }

    // OK: true when every value passed and the dialog accepted.
    bool TryAccept();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ShowValues();
    void UpdateEnables();

    void SelectReview(int type);
    void OnOtherReview();
    void OnChooseApplication();
    void OnInCamera();
    void OnInPC();
    void OnChooseFolder();
    void OnRename();
    void TurnPCOn();

    void OnPrefixChanged(const QString& text);
    void OnStartNumberChanged(const QString& text);
    void OnDigitsChanged(const QString& text);

    engine::AppSettings& settings_;
    const std::string settingsFile_;
    const std::optional<std::string> rawDeveloper_;

    // The values being edited; the settings object gets them at OK.
    int reviewType_ = 0;
    bool inCamera_ = true;
    bool inPC_ = false;
    bool rename_ = false;
    bool destinationChanged_ = false;

    Chooser chooseApplication_;
    Chooser chooseFolder_;

    CGdipButton* radioNone_ = nullptr;
    CGdipButton* radioRaw_ = nullptr;
    CGdipButton* radioOther_ = nullptr;
    CGdipButton* chooseApplicationButton_ = nullptr;
    QLineEdit* reviewSoftEdit_ = nullptr;
    CGdipButton* inCameraCheck_ = nullptr;
    CGdipButton* inPCCheck_ = nullptr;
    CGdipButton* chooseFolderButton_ = nullptr;
    QLineEdit* pathEdit_ = nullptr;
    CGdipButton* renameCheck_ = nullptr;
    QLabel* prefixLabel_ = nullptr;
    QLabel* startLabel_ = nullptr;
    QLabel* digitsLabel_ = nullptr;
    QLineEdit* prefixEdit_ = nullptr;
    QLineEdit* startEdit_ = nullptr;
    QLineEdit* digitsEdit_ = nullptr;
    CGdipButton* okButton_ = nullptr;
    CGdipButton* cancelButton_ = nullptr;
};

}  // namespace kvx::prefs
