# The account, secrets, connect link and update check reach the desktop through the platform
# layer, and the update check reports the version this build was made as.
target_link_libraries(tavro_service PUBLIC tavro_platform)
target_compile_definitions(tavro_service PRIVATE TAVRO_APP_VERSION="${PROJECT_VERSION}")
