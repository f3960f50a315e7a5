#pragma once
// davu-admin runs the real update check at its connects; the main window's
// tests leave the hook empty or install their own.
class TfrmDAVUAdmin;
namespace davu {

class UpdateCheck;

// Creates the check (owned by `w`) on the common window's update socket and
// timer, makes it `w`'s CheckForUpdate, and keeps the server tab's update
// server version up to date.
UpdateCheck* InstallUpdateCheck(TfrmDAVUAdmin& w);

}  // namespace davu
