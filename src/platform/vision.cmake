# Window list and screenshots over xcb (Composite for covered windows), text recognition with
# Tesseract. Prefixes are unique because other concerns add fragments to this folder.
pkg_check_modules(VISION_XCB REQUIRED IMPORTED_TARGET xcb xcb-composite)
pkg_check_modules(VISION_TESS REQUIRED IMPORTED_TARGET tesseract lept)
target_link_libraries(tavro_platform PRIVATE PkgConfig::VISION_XCB PkgConfig::VISION_TESS)
# Only for omp.h and libgomp, which Tesseract already loads: passes are kept to one thread.
find_package(OpenMP REQUIRED COMPONENTS CXX)
target_link_libraries(tavro_platform PRIVATE OpenMP::OpenMP_CXX)
# Plain xcb code that names a variable after a Qt keyword, which the precompiled header defines.
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/WindowCapture.cpp
                            PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
