# bench_ftp: 100 files of 256 KB to a local FTP server through TFtpFileUploader,
# against one curl run that sends the same files over one connection.
set(ftp_tests_dir ${PROJECT_SOURCE_DIR}/tests/ftp)
add_executable(bench_ftp bench_ftp.cpp ${ftp_tests_dir}/ftptestserver.cpp ${ftp_tests_dir}/ftptestserver.h)
target_include_directories(bench_ftp PRIVATE ${ftp_tests_dir})
target_link_libraries(bench_ftp PRIVATE vantoli_core Qt6::Core)
target_compile_definitions(bench_ftp PRIVATE
  VANTOLI_PYTHON3="${VANTOLI_SYSTEM_PYTHON3}"
  VANTOLI_FTP_TEST_SERVER="${ftp_tests_dir}/ftp_test_server.py"
  VANTOLI_CURL_TOOL="${VANTOLI_SYSTEM_CURL}")
