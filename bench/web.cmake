# bench_repo_upload: 20 pictures of 500 KB through TMoodleRepoFileUploader to
# the local Moodle-like site, against one curl run that posts the same files to
# the same endpoint one after another with the same session cookie.
add_executable(bench_repo_upload bench_repo_upload.cpp ${PROJECT_SOURCE_DIR}/tests/support/testutil.cpp)
target_include_directories(bench_repo_upload PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(bench_repo_upload PRIVATE vantoli_web Qt6::Widgets)
target_compile_definitions(bench_repo_upload PRIVATE
  VANTOLI_TESTS_SOURCE_DIR="${PROJECT_SOURCE_DIR}/tests"
  VANTOLI_PYTHON3="${VANTOLI_SYSTEM_PYTHON3}"
  VANTOLI_MOODLE_SITE="${PROJECT_SOURCE_DIR}/tests/moodlesite/moodlesite.py"
  VANTOLI_CURL_TOOL="${VANTOLI_SYSTEM_CURL}")
