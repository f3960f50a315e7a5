#pragma once
// The keys a downloaded program must be signed by, and the check of a
// program file against its signature file.
//
// Trusted are the minisign key files "*.pub" in the system folder
// /etc/davu-admin/update-keys/ (only root can write it; tests point
// $DAVU_UPDATE_KEYS_DIR elsewhere) and the key the build was given
// (DAVU_UPDATE_KEY_FILE). A key file the user can write, or a folder others
// can write, is ignored with a log line: such a key proves nothing.
#include <QString>
#include <vector>

#include "update/ReleaseSignature.h"

namespace davu {

QString UpdateKeysFolder();
std::vector<davu::update::PublicKey> TrustedUpdateKeys();

// Checks `program` against the signature text, its trusted comment
// "<programFileName> <version>".
davu::update::SignatureVerdict VerifyProgramFile(const QString& program, const QByteArray& signature,
                                                 const std::vector<davu::update::PublicKey>& keys,
                                                 const QString& programFileName, const QString& version);

// Reads a signature file, refusing one larger than a signature can be.
// Empty when missing, unreadable or too large.
QByteArray ReadSignatureFile(const QString& path);

// What was wrong, in a few Swedish words.
QString SignatureRefusal(davu::update::SignatureVerdict verdict);

}  // namespace davu
