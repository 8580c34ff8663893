# Start-up of the program against a bare web view showing the same page.
add_executable(bench_startup ${CMAKE_CURRENT_LIST_DIR}/bench_startup.cpp)
target_link_libraries(bench_startup PRIVATE vantoli_shellcore Qt6::WebEngineWidgets)
add_custom_command(TARGET bench_startup POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/resources/Welcome $<TARGET_FILE_DIR:bench_startup>/Welcome)

# A submission of 20 pictures against curl posting the same files.
if(TARGET vantoli_wordeditor)
  add_executable(bench_submit ${CMAKE_CURRENT_LIST_DIR}/bench_submit.cpp
    ${PROJECT_SOURCE_DIR}/tests/web/moodlesitefixture.cpp ${PROJECT_SOURCE_DIR}/tests/support/testutil.cpp)
  target_include_directories(bench_submit PRIVATE ${PROJECT_SOURCE_DIR}/tests/web ${PROJECT_SOURCE_DIR}/tests/support)
  target_link_libraries(bench_submit PRIVATE vantoli_shell vantoli_office vantoli_web Qt6::Network Qt6::WebEngineCore)
  target_compile_definitions(bench_submit PRIVATE
    VANTOLI_OFFICE_HELPER="$<TARGET_FILE:vantoli-office>"
    VANTOLI_TESTS_SOURCE_DIR="${PROJECT_SOURCE_DIR}/tests"
    VANTOLI_SYSTEM_PYTHON="/usr/bin/python3"
    VANTOLI_CURL_TOOL="${VANTOLI_SYSTEM_CURL}")
  add_dependencies(bench_submit vantoli-office)
endif()
