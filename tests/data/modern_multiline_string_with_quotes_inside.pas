s := '''
  It's ''quoted'' & '''triple'''
''''not the end
  ''';