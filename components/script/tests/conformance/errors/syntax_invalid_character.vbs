Dim price
price = 10 $ 2
