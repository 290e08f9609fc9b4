#include "stub/stub_flow.h"

#include "container/decrypt_stream.h"
#include "container/derive_key.h"
#include "container/stale_partial.h"
#include "platform/file_system.h"
#include "platform/held_file.h"
#include "stub/stub_messages.h"
#include "stub/stub_paths.h"

#include <memory>

namespace {

using platform::Access;
using platform::Disposition;
using platform::Share;

// The stub's message for each way the trailer search refuses a file; several share a text.
const char *trailer_message(TrailerError error) {
    switch (error) {
    case TrailerError::None:
        return nullptr;
    case TrailerError::EndUnreadable:
        return STUB_MSG_NOT_SELFDECRYPTING;
    case TrailerError::EndMarker:
        return STUB_MSG_NOT_QUILLOMAR;
    case TrailerError::OffsetBeyond:
    case TrailerError::LengthMismatch:
        return STUB_MSG_BAD_OFFSET;
    case TrailerError::NotFound:
        return STUB_MSG_NO_TRAILER;
    case TrailerError::Magic:
    case TrailerError::Algorithm:
    case TrailerError::UnknownCipher:
        return STUB_MSG_BAD_HEADER;
    case TrailerError::Times:
    case TrailerError::Salt:
    case TrailerError::PlainSize:
    case TrailerError::FieldsEnd:
        break;
    }
    return STUB_MSG_BAD_FIELDS;
}

const char *stream_message(StreamResult result) {
    return result == StreamResult::WrongKey ? STUB_MSG_WRONG_PASSWORD : STUB_MSG_FILE_ERROR;
}

StubOutcome fail(StubDialog &dialog, const char *message) {
    dialog.show_message(message);
    return StubOutcome::Failed;
}

// A new file next to `output` to decrypt into, so that a file the person chose to replace is
// only replaced by a complete result. What a run of this stub that died left there (plain
// text, never complete) is removed first.
std::unique_ptr<platform::File> create_partial(const std::string &input, const std::string &output,
                                               std::string &partial) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        partial = output + ".partial";
        if (attempt != 0) partial.append(1, '.').append(std::to_string(attempt));
        if (attempt == 0) container_remove_stale_partial(input.c_str(), partial.c_str());
        auto file = platform::file_system().open(partial, Access::Write, Share::None,
                                                 Disposition::CreateNew);
        if (file) return file;
        if (!platform::file_system().exists(partial)) return nullptr;
    }
    return nullptr;
}

// Decrypts into a partial file, then puts it in the place of `output`. The input is closed
// before that, since the person may have chosen to replace the very file being decrypted. Only
// the file the person agreed to replace (`replaced`) and the partial file this run made are
// ever deleted or renamed.
StubOutcome write_output(const std::string &input_path, std::unique_ptr<platform::File> input,
                         DecryptStream &stream, const std::string &output,
                         platform::HeldFile &replaced, StubDialog &dialog) {
    platform::FileSystem &files = platform::file_system();
    std::string partial;
    std::unique_ptr<platform::File> target = create_partial(input_path, output, partial);
    const auto identity = target ? platform::identity_of(*target) : std::nullopt;
    if (!identity) return fail(dialog, STUB_MSG_CANNOT_CREATE);
    platform::HeldFile made;
    made.adopt(*identity);
    // Readable by whoever could read the input, but not a program even when the input is one.
    uint32_t permissions = 0;
    if (input->get_permissions(&permissions)) target->set_permissions(permissions & 0666);
    StreamResult result = stream.run(*input, *target);
    // On disk before it takes the place of a file the person chose to replace.
    if (result == StreamResult::Ok && !target->flush()) result = StreamResult::WriteFailed;
    target.reset();
    input.reset();
    if (result != StreamResult::Ok) {
        made.remove_at(partial);
        return fail(dialog, stream_message(result));
    }
    // A file that took the output's name since the dialog is refused by the rename.
    if (replaced.held()) replaced.remove_at(output);
    if (!made.rename_at(partial, output)) {
        made.remove_at(partial);
        return fail(dialog, STUB_MSG_CANNOT_CREATE);
    }
    files.sync_folder(platform::folder_of(output)); // the data is safe; only the name may lag
    return StubOutcome::Decrypted;
}

} // namespace

const char *stub_locate_container(platform::File &file, ContainerTrailer &trailer) {
    return trailer_message(trailer_find(file, &trailer));
}

StubOutcome qxvsd_run(const std::string &input_path, StubDialog &dialog) {
    std::string proposed = stub_default_output_name(input_path);
    std::unique_ptr<platform::File> input = platform::file_system().open(
        input_path, Access::Read, Share::ReadWrite, Disposition::OpenExisting);
    if (!input) return fail(dialog, STUB_MSG_CANNOT_OPEN);
    ContainerTrailer trailer;
    if (const char *problem = stub_locate_container(*input, trailer)) return fail(dialog, problem);

    platform::SecureString password;
    std::string output;
    if (!dialog.ask_password_and_output(proposed, password, output)) return StubOutcome::Cancelled;
    if (password.empty()) return fail(dialog, STUB_MSG_EMPTY_PASSWORD);
    // The key is derived from C text: a NUL would cut the password short unseen.
    if (password.find('\0') != platform::SecureString::npos) {
        platform::SecureWipe(password);
        return fail(dialog, STUB_MSG_PASSWORD_NUL);
    }
    ContainerKey key;
    derive_key(password.c_str(), trailer.salt, trailer.salt_length, key.bytes,
               trailer.cipher->key_length);
    platform::SecureWipe(password);

    DecryptStream stream(trailer, key.bytes);
    // The password and the final block are tested before anything is written.
    const StreamResult checked = stream.check_key(*input, true);
    if (checked != StreamResult::Ok) return fail(dialog, stream_message(checked));
    // A file the person agreed to replace is held from now on: only it is replaced later.
    platform::HeldFile replaced;
    if (platform::file_system().exists(output) && !replaced.hold(output))
        return fail(dialog, STUB_MSG_CANNOT_CREATE);
    StubOutcome outcome =
        write_output(input_path, std::move(input), stream, output, replaced, dialog);
    if (outcome == StubOutcome::Decrypted && !dialog.open_with_associated_program(output))
        dialog.show_message(STUB_MSG_TYPE_UNKNOWN);
    return outcome;
}

int stub_exit_code(StubOutcome outcome) {
    switch (outcome) {
    case StubOutcome::Decrypted:
        return 0;
    case StubOutcome::Cancelled:
        return 2;
    case StubOutcome::Failed:
        break;
    }
    return 1;
}
