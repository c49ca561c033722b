// data_file
