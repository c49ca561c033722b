// update_check
