x '''
abc '' d