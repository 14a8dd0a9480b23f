# PDF text through poppler, Word documents through libzip and pugixml.
pkg_check_modules(TAVRO_DOC_POPPLER REQUIRED IMPORTED_TARGET poppler-cpp)
pkg_check_modules(TAVRO_DOC_ZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(TAVRO_DOC_PUGI REQUIRED IMPORTED_TARGET pugixml)
target_link_libraries(tavro_documents PRIVATE PkgConfig::TAVRO_DOC_POPPLER PkgConfig::TAVRO_DOC_ZIP
                      PkgConfig::TAVRO_DOC_PUGI)
