#include "runtime/Errors.h"

#include "Text.h"

#include "runtime/Services.h"

#include <cstdio>
#include <cstdlib>
#include <new>

namespace runtime {
String ErrorDescription(int number) {
    switch (number) {
    case err::kInvalidCall:
        return u"Llamada a procedimiento o argumento no válidos";
    case err::kOverflow:
        return u"Desbordamiento";
    case err::kOutOfMemory:
        return u"Memoria insuficiente";
    case err::kSubscript:
        return u"El subíndice está fuera del intervalo";
    case err::kDivisionByZero:
        return u"División por cero";
    case err::kTypeMismatch:
        return u"No coinciden los tipos";
    case err::kLibraryNotFound:
        return u"Error al cargar la biblioteca";
    case err::kInternal:
        return u"Error interno";
    case err::kFileNotFound:
        return u"No se ha encontrado el archivo";
    case err::kDiskFull:
        return u"Disco lleno";
    case err::kPermissionDenied:
        return u"Permiso denegado";
    case err::kPathFileAccess:
        return u"Error de acceso a la ruta o el archivo";
    case err::kPathNotFound:
        return u"No se ha encontrado la ruta de acceso";
    case err::kInvalidListIndex:
        return u"Índice de la lista no válido";
    case err::kEntryPointNotFound:
        return u"No se encuentra el punto de entrada de la biblioteca";
    case err::kInvalidPicture:
        return u"Imagen no válida";
    default:
        return u"Error definido por la aplicación o por el objeto";
    }
}

RuntimeError::RuntimeError(int number, String description)
    : number_(number),
      description_(description.empty() ? ErrorDescription(number) : std::move(description)),
      what_(std::to_string(number) + ": " + detail::Utf8(description_)) {}

void Raise(int number, String description) {
    throw RuntimeError(number, std::move(description));
}

namespace {
bool reporting = false;
}

void ReportUntrappedError(const RuntimeError& error) {
    // A second error while the report is up (its box runs the event loop) ends at once.
    if (!reporting) {
        reporting = true;
        detail::SetEnding();
        const String text = u"Error en tiempo de ejecución '" +
                            detail::Utf16(std::to_string(error.Number())) + u"':\n\n" +
                            error.Description();
        std::fprintf(stderr, "%s\n", detail::Utf8(text).c_str());
        // The box needs the window thread; elsewhere the report goes to stderr only.
        if (detail::OnWindowThread()) MsgBox(text, vbOKOnly, App.Title);
    }
    std::fflush(nullptr);
    std::_Exit(kUntrappedErrorStatus);
}

void ReportUntrapped(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const RuntimeError& e) {
        ReportUntrappedError(e);
    } catch (const std::bad_alloc&) {
        ReportUntrappedError(RuntimeError(err::kOutOfMemory));
    } catch (const std::exception& e) {
        ReportUntrappedError(
            RuntimeError(err::kInternal, u"Error interno: " + detail::Utf16(e.what())));
    } catch (...) {
        ReportUntrappedError(RuntimeError(err::kInternal));
    }
}
} // namespace runtime
